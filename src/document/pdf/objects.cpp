#include "document/pdf/objects.h"

#include <cmath>

namespace kelvaro::pdf {

namespace {

const Object kNullObject;
const Array kEmptyArray;

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsRegular(unsigned char c) { return !IsPdfSpace(c) && !IsPdfDelimiter(c); }

}  // namespace

bool IsPdfSpace(unsigned char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == 0;
}

bool IsPdfDelimiter(unsigned char c) {
  return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' ||
         c == '}' || c == '/' || c == '%';
}

double Object::Number(double fallback) const {
  if (kind == Kind::kInt) return static_cast<double>(integer);
  if (kind == Kind::kReal) return real;
  return fallback;
}

std::int64_t Object::Integer(std::int64_t fallback) const {
  if (kind == Kind::kInt) return integer;
  if (kind == Kind::kReal && std::isfinite(real) && std::fabs(real) < 9e18) {
    return static_cast<std::int64_t>(real);
  }
  return fallback;
}

const Object& Lookup(const Dict& dict, std::string_view key) {
  for (const auto& [k, v] : dict) {
    if (k == key) return v;
  }
  return kNullObject;
}

const Object& Object::Get(std::string_view key) const {
  if (kind == Kind::kDict && dict) return Lookup(*dict, key);
  if (kind == Kind::kStream && stream) return Lookup(stream->dict, key);
  return kNullObject;
}

const Array& Object::Items() const { return kind == Kind::kArray && array ? *array : kEmptyArray; }

Object Object::Int(std::int64_t v) {
  Object o;
  o.kind = Kind::kInt;
  o.integer = v;
  return o;
}

Object Object::Real(double v) {
  Object o;
  o.kind = Kind::kReal;
  o.real = v;
  return o;
}

Object Object::Name(std::string v) {
  Object o;
  o.kind = Kind::kName;
  o.text = std::move(v);
  return o;
}

Object Object::String(std::string v) {
  Object o;
  o.kind = Kind::kString;
  o.text = std::move(v);
  return o;
}

Object Object::MakeArray(Array v) {
  Object o;
  o.kind = Kind::kArray;
  o.array = std::make_shared<const Array>(std::move(v));
  return o;
}

Object Object::MakeDict(Dict v) {
  Object o;
  o.kind = Kind::kDict;
  o.dict = std::make_shared<const Dict>(std::move(v));
  return o;
}

void Lexer::SkipSpace() {
  while (pos_ < data_.size()) {
    const auto c = static_cast<unsigned char>(data_[pos_]);
    if (IsPdfSpace(c)) {
      ++pos_;
    } else if (c == '%') {
      while (pos_ < data_.size() && data_[pos_] != '\n' && data_[pos_] != '\r') ++pos_;
    } else {
      break;
    }
  }
}

Lexer::Token Lexer::Next(std::string& text, std::int64_t& integer, double& real) {
  text.clear();
  SkipSpace();
  if (pos_ >= data_.size()) return Token::kEnd;
  const auto c = static_cast<unsigned char>(data_[pos_]);
  const bool twice = pos_ + 1 < data_.size() && data_[pos_ + 1] == static_cast<char>(c);
  switch (c) {
    case '[':
      ++pos_;
      return Token::kArrayOpen;
    case ']':
      ++pos_;
      return Token::kArrayClose;
    case '<':
      if (!twice) return HexString(text);
      pos_ += 2;
      return Token::kDictOpen;
    case '>':
      if (twice) {
        pos_ += 2;
        return Token::kDictClose;
      }
      ++pos_;
      text.push_back('>');
      return Token::kKeyword;
    case '(':
      return LiteralString(text);
    case '/':
      return Name(text);
    case '{':
    case '}':
    case ')':
      ++pos_;
      text.push_back(static_cast<char>(c));
      return Token::kKeyword;
    default:
      break;
  }
  if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') return Number(integer, real);
  return Keyword(text);
}

Lexer::Token Lexer::HexString(std::string& text) {
  const std::size_t n = data_.size();
  ++pos_;
  int high = -1;
  while (pos_ < n && data_[pos_] != '>') {
    const int v = HexValue(static_cast<unsigned char>(data_[pos_]));
    ++pos_;
    if (v < 0) continue;  // white space, or junk readers skip as well
    if (high < 0) {
      high = v;
    } else {
      text.push_back(static_cast<char>(high << 4 | v));
      high = -1;
    }
  }
  if (high >= 0) text.push_back(static_cast<char>(high << 4));
  if (pos_ < n) ++pos_;
  return Token::kHexString;
}

Lexer::Token Lexer::LiteralString(std::string& text) {
  const std::size_t n = data_.size();
  ++pos_;
  int nesting = 1;
  while (pos_ < n) {
    char ch = data_[pos_++];
    if (ch == '(') {
      ++nesting;
    } else if (ch == ')') {
      if (--nesting == 0) break;
    } else if (ch == '\\') {
      if (pos_ >= n) break;
      if (!Escape(ch)) continue;
    } else if (ch == '\r') {
      // An end of line inside a string reads as one line feed.
      if (pos_ < n && data_[pos_] == '\n') ++pos_;
      ch = '\n';
    }
    text.push_back(ch);
  }
  return Token::kString;
}

bool Lexer::Escape(char& out) {
  const std::size_t n = data_.size();
  const char ch = data_[pos_++];
  switch (ch) {
    case 'n':
      out = '\n';
      return true;
    case 'r':
      out = '\r';
      return true;
    case 't':
      out = '\t';
      return true;
    case 'b':
      out = '\b';
      return true;
    case 'f':
      out = '\f';
      return true;
    case '\r':
      if (pos_ < n && data_[pos_] == '\n') ++pos_;
      return false;
    case '\n':
      return false;
    default:
      break;
  }
  out = ch;
  if (ch >= '0' && ch <= '7') {
    int v = ch - '0';
    for (int k = 0; k < 2 && pos_ < n && data_[pos_] >= '0' && data_[pos_] <= '7'; ++k) {
      v = v * 8 + (data_[pos_++] - '0');
    }
    out = static_cast<char>(v & 0xFF);
  }
  return true;
}

Lexer::Token Lexer::Name(std::string& text) {
  const std::size_t n = data_.size();
  ++pos_;
  while (pos_ < n && IsRegular(static_cast<unsigned char>(data_[pos_]))) {
    const char ch = data_[pos_++];
    if (ch == '#' && pos_ + 1 < n) {
      const int h = HexValue(static_cast<unsigned char>(data_[pos_]));
      const int l = HexValue(static_cast<unsigned char>(data_[pos_ + 1]));
      if (h >= 0 && l >= 0) {
        text.push_back(static_cast<char>(h << 4 | l));
        pos_ += 2;
        continue;
      }
    }
    text.push_back(ch);
  }
  return Token::kName;
}

Lexer::Token Lexer::Number(std::int64_t& integer, double& real) {
  const std::size_t n = data_.size();
  std::size_t p = pos_;
  bool negative = false;
  while (p < n && (data_[p] == '+' || data_[p] == '-')) negative = data_[p++] == '-';
  std::int64_t whole = 0;
  double value = 0;
  bool digits = false;
  bool overflow = false;
  while (p < n && data_[p] >= '0' && data_[p] <= '9') {
    const int d = data_[p++] - '0';
    if (whole > (INT64_MAX - d) / 10) overflow = true;
    if (!overflow) whole = whole * 10 + d;
    value = value * 10 + d;
    digits = true;
  }
  bool is_real = overflow;
  if (p < n && data_[p] == '.') {
    is_real = true;
    ++p;
    double scale = 0.1;
    while (p < n && data_[p] >= '0' && data_[p] <= '9') {
      value += (data_[p++] - '0') * scale;
      scale /= 10;
      digits = true;
    }
  }
  // Junk glued to a number ("12abc") stays with it, as other readers take it; a lone sign
  // or point is zero, as readers take it.
  while (p < n && IsRegular(static_cast<unsigned char>(data_[p]))) ++p;
  pos_ = p;
  if (!digits) {
    integer = 0;
    return Token::kInt;
  }
  if (is_real) {
    real = negative ? -value : value;
    return Token::kReal;
  }
  integer = negative ? -whole : whole;
  return Token::kInt;
}

Lexer::Token Lexer::Keyword(std::string& text) {
  const std::size_t n = data_.size();
  while (pos_ < n && IsRegular(static_cast<unsigned char>(data_[pos_]))) {
    text.push_back(data_[pos_++]);
  }
  return Token::kKeyword;
}

bool Parser::Count() {
  constexpr std::size_t kMaxParts = 1u << 20;
  if (++parts_ > kMaxParts) return false;
  if (!budget_) return true;
  if (*budget_ == 0) return false;
  --*budget_;
  return true;
}

bool Parser::Read(Object& out, std::string& keyword) {
  keyword.clear();
  out = Object();
  parts_ = 0;
  const Lexer::Token token = lexer_.Next(text_, integer_, real_);
  return FromToken(token, out, keyword, 0);
}

bool Parser::FromToken(Lexer::Token token, Object& out, std::string& keyword, int depth) {
  switch (token) {
    case Lexer::Token::kEnd:
    case Lexer::Token::kError:
    case Lexer::Token::kArrayClose:
    case Lexer::Token::kDictClose:
      return false;
    case Lexer::Token::kInt:
      IntegerOrRef(out);
      return true;
    case Lexer::Token::kReal:
      out = Object::Real(real_);
      return true;
    case Lexer::Token::kName:
      out = Object::Name(std::move(text_));
      return true;
    case Lexer::Token::kString:
    case Lexer::Token::kHexString:
      out = Object::String(std::move(text_));
      return true;
    case Lexer::Token::kKeyword:
      if (text_ == "true" || text_ == "false") {
        out.kind = Object::Kind::kBool;
        out.boolean = text_ == "true";
        return true;
      }
      if (text_ == "null") return true;
      keyword = std::move(text_);
      return false;
    case Lexer::Token::kArrayOpen:
      if (depth >= max_depth_) return refs_ && SkipNested();
      return ReadArray(out, depth);
    case Lexer::Token::kDictOpen:
      if (depth >= max_depth_) return refs_ && SkipNested();
      return ReadDict(out, depth);
  }
  return false;
}

bool Parser::SkipNested() {
  std::size_t open = 1;
  while (open > 0) {
    if (budget_ && *budget_ == 0) return false;
    if (budget_) --*budget_;
    const std::size_t before = lexer_.Pos();
    switch (lexer_.Next(text_, integer_, real_)) {
      case Lexer::Token::kEnd:
        return false;
      case Lexer::Token::kArrayOpen:
      case Lexer::Token::kDictOpen:
        ++open;
        break;
      case Lexer::Token::kArrayClose:
      case Lexer::Token::kDictClose:
        --open;
        break;
      default:
        if (lexer_.Pos() == before) return false;
        break;
    }
  }
  return true;
}

void Parser::IntegerOrRef(Object& out) {
  out = Object::Int(integer_);
  if (!refs_ || integer_ < 0 || integer_ > INT32_MAX) return;
  const std::size_t back = lexer_.Pos();
  const std::int64_t num = integer_;
  if (lexer_.Next(text_, integer_, real_) == Lexer::Token::kInt && integer_ >= 0 &&
      integer_ <= 65535) {
    const std::int64_t gen = integer_;
    if (lexer_.Next(text_, integer_, real_) == Lexer::Token::kKeyword && text_ == "R") {
      out = Object();
      out.kind = Object::Kind::kRef;
      out.ref = {static_cast<int>(num), static_cast<int>(gen)};
      return;
    }
  }
  lexer_.Seek(back);
}

bool Parser::ReadArray(Object& out, int depth) {
  Array items;
  for (;;) {
    const Lexer::Token t = lexer_.Next(text_, integer_, real_);
    if (t == Lexer::Token::kArrayClose) break;
    Object item;
    std::string inner;
    if (!Count() || !FromToken(t, item, inner, depth + 1)) return false;
    items.push_back(std::move(item));
  }
  out = Object::MakeArray(std::move(items));
  return true;
}

bool Parser::ReadDict(Object& out, int depth) {
  Dict entries;
  for (;;) {
    Lexer::Token t = lexer_.Next(text_, integer_, real_);
    if (t == Lexer::Token::kDictClose) break;
    if (t == Lexer::Token::kEnd) return false;
    if (t != Lexer::Token::kName) continue;  // junk where a key belongs: skipped
    std::string key = std::move(text_);
    t = lexer_.Next(text_, integer_, real_);
    if (t == Lexer::Token::kDictClose) break;  // a key without its value
    Object value;
    std::string inner;
    if (!Count() || !FromToken(t, value, inner, depth + 1)) return false;
    // The first of two equal keys counts, as the lookup finds it.
    entries.emplace_back(std::move(key), std::move(value));
  }
  out = Object::MakeDict(std::move(entries));
  return true;
}

}  // namespace kelvaro::pdf
