#include "document/pdf/fonts.h"

#include <algorithm>

#include "document/pdf/font_tables.h"
#include "text/encoding.h"
#include "text/utf16.h"

namespace kelvaro::pdf {

namespace {

constexpr std::size_t kMaxRangeList = 1 << 16;
// A CMap's block rarely holds more than a hundred mappings; far more is no CMap.
constexpr std::size_t kMaxOperands = 1 << 20;

std::uint32_t CodeValue(std::string_view bytes) {
  std::uint32_t v = 0;
  for (const char c : bytes) v = v << 8 | static_cast<unsigned char>(c);
  return v;
}

std::u32string Utf16(std::string_view bytes) {
  std::u32string out;
  if (bytes.size() == 1) {
    out.push_back(static_cast<unsigned char>(bytes[0]));
    return out;
  }
  // Big-endian, as PDF strings hold UTF-16; a lone surrogate is dropped when the text is
  // written (AppendCodePoint).
  const auto unit = [&](std::size_t k) -> char32_t {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * k]) << 8 |
                                 static_cast<unsigned char>(bytes[2 * k + 1]));
  };
  const std::size_t units = bytes.size() / 2;
  for (std::size_t k = 0; k < units; ++k) out.push_back(NextCodePoint(unit, units, k));
  return out;
}

std::u32string Destination(const Object& object) {
  if (object.Is(Object::Kind::kString)) return Utf16(object.text);
  if (object.Is(Object::Kind::kName)) {
    const char32_t c = GlyphNameCodePoint(object.text);
    if (c != 0) return std::u32string(1, c);
  }
  return {};
}

bool AppendText(std::string& out, const std::u32string& text) {
  const std::size_t before = out.size();
  for (const char32_t c : text) AppendCodePoint(out, c);
  return out.size() > before;
}

std::string BaseFontName(const Object& font) {
  std::string name = font.Get("BaseFont").text;
  const std::size_t plus = name.find('+');
  if (plus == 6) name.erase(0, 7);  // a subset's tag
  return name;
}

}  // namespace

void AppendCodePoint(std::string& out, char32_t c) {
  if (c == 0 || c > 0x10FFFF || IsSurrogate(c)) return;
  AppendUtf8(out, c);
}

namespace {

// A code of 1 to 4 bytes, as a CMap's blocks spell one.
bool CodeOf(const Object& operand, std::uint32_t& code, int& length) {
  if (!operand.Is(Object::Kind::kString)) return false;
  const std::string& s = operand.text;
  if (s.empty() || s.size() > 4) return false;
  code = CodeValue(s);
  length = static_cast<int>(s.size());
  return true;
}

}  // namespace

void CMap::Parse(std::string_view text) {
  Lexer lexer(text);
  Parser parser(lexer, false);
  std::vector<Object> operands;
  Object object;
  std::string keyword;
  for (;;) {
    const std::size_t before = lexer.Pos();
    if (parser.Read(object, keyword)) {
      if (operands.size() < kMaxOperands) operands.push_back(std::move(object));
      continue;
    }
    if (keyword.empty()) {
      if (lexer.Pos() == before || lexer.Pos() >= text.size()) break;
      continue;
    }
    Apply(keyword, operands);
    operands.clear();
  }
  auto by_code = [](const Range& a, const Range& b) {
    return a.length != b.length ? a.length < b.length : a.low < b.low;
  };
  std::stable_sort(unicode_ranges_.begin(), unicode_ranges_.end(), by_code);
  std::stable_sort(cid_ranges_.begin(), cid_ranges_.end(), by_code);
}

void CMap::Apply(const std::string& keyword, const std::vector<Object>& operands) {
  const std::size_t n = operands.size();
  if (keyword == "endcodespacerange") {
    CodeSpaceRanges(operands);
  } else if (keyword == "endbfchar") {
    UnicodeChars(operands);
  } else if (keyword == "endbfrange") {
    UnicodeRanges(operands);
  } else if (keyword == "endcidchar") {
    CidChars(operands);
  } else if (keyword == "endcidrange") {
    CidRanges(operands);
  } else if (keyword == "usecmap") {
    if (n > 0 && operands.back().Is(Object::Kind::kName)) used_ = operands.back().text;
  } else if (keyword == "def") {
    if (n >= 2 && operands[n - 2].IsName("WMode")) vertical_ = operands[n - 1].Integer() == 1;
  }
}

void CMap::CodeSpaceRanges(const std::vector<Object>& operands) {
  for (std::size_t i = 0; i + 1 < operands.size(); i += 2) {
    const std::string& low = operands[i].text;
    const std::string& high = operands[i + 1].text;
    if (low.empty() || low.size() > 4 || low.size() != high.size()) continue;
    Space space;
    space.length = static_cast<int>(low.size());
    for (std::size_t b = 0; b < low.size(); ++b) {
      space.low[b] = static_cast<std::uint8_t>(low[b]);
      space.high[b] = static_cast<std::uint8_t>(high[b]);
    }
    code_space_.push_back(space);
  }
}

void CMap::UnicodeChars(const std::vector<Object>& operands) {
  for (std::size_t i = 0; i + 1 < operands.size(); i += 2) {
    std::uint32_t code = 0;
    int length = 0;
    if (CodeOf(operands[i], code, length)) {
      unicode_chars_[Key(code, length)] = Destination(operands[i + 1]);
    }
  }
}

void CMap::UnicodeRanges(const std::vector<Object>& operands) {
  for (std::size_t i = 0; i + 2 < operands.size(); i += 3) {
    Range range;
    std::uint32_t high = 0;
    int high_length = 0;
    if (!CodeOf(operands[i], range.low, range.length) ||
        !CodeOf(operands[i + 1], high, high_length) || high < range.low) {
      continue;
    }
    range.high = high;
    const Object& destination = operands[i + 2];
    if (destination.Is(Object::Kind::kArray)) {
      for (const Object& item : destination.Items()) {
        if (range.list.size() >= kMaxRangeList) break;
        range.list.push_back(Destination(item));
      }
    } else {
      range.base = Destination(destination);
      if (range.base.empty()) continue;
    }
    unicode_ranges_.push_back(std::move(range));
  }
}

void CMap::CidChars(const std::vector<Object>& operands) {
  for (std::size_t i = 0; i + 1 < operands.size(); i += 2) {
    std::uint32_t code = 0;
    int length = 0;
    if (CodeOf(operands[i], code, length) && operands[i + 1].Is(Object::Kind::kInt)) {
      cid_chars_[Key(code, length)] = static_cast<std::uint32_t>(operands[i + 1].integer);
    }
  }
}

void CMap::CidRanges(const std::vector<Object>& operands) {
  for (std::size_t i = 0; i + 2 < operands.size(); i += 3) {
    Range range;
    std::uint32_t high = 0;
    int high_length = 0;
    if (!CodeOf(operands[i], range.low, range.length) ||
        !CodeOf(operands[i + 1], high, high_length) || high < range.low ||
        !operands[i + 2].Is(Object::Kind::kInt)) {
      continue;
    }
    range.high = high;
    range.cid = static_cast<std::uint32_t>(operands[i + 2].integer);
    cid_ranges_.push_back(std::move(range));
  }
}

const CMap::Range* CMap::FindRange(const std::vector<Range>& ranges, std::uint32_t code,
                                   int length) {
  auto it =
      std::upper_bound(ranges.begin(), ranges.end(), std::make_pair(length, code),
                       [](const std::pair<int, std::uint32_t>& key, const Range& r) {
                         return key.first != r.length ? key.first < r.length : key.second < r.low;
                       });
  // Ranges rarely overlap: a few steps back find the one holding the code.
  for (int step = 0; step < 16 && it != ranges.begin(); ++step) {
    --it;
    if (it->length != length) break;
    if (it->low <= code && code <= it->high) return &*it;
  }
  return nullptr;
}

int CMap::CodeLength(std::string_view bytes) const {
  int shortest = 4;
  for (int n = 1; n <= 4 && static_cast<std::size_t>(n) <= bytes.size(); ++n) {
    for (const Space& space : code_space_) {
      if (space.length != n) continue;
      bool inside = true;
      for (int b = 0; b < n && inside; ++b) {
        const auto c = static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(b)]);
        inside = c >= space.low[b] && c <= space.high[b];
      }
      if (inside) return n;
    }
  }
  for (const Space& space : code_space_) shortest = std::min(shortest, space.length);
  return code_space_.empty() ? 1 : shortest;
}

bool CMap::Unicode(std::uint32_t code, int length, std::string& utf8) const {
  utf8.clear();
  const auto found = unicode_chars_.find(Key(code, length));
  if (found != unicode_chars_.end()) return AppendText(utf8, found->second);
  const Range* range = FindRange(unicode_ranges_, code, length);
  if (!range) return false;
  const std::uint32_t offset = code - range->low;
  if (!range->list.empty()) {
    return offset < range->list.size() && AppendText(utf8, range->list[offset]);
  }
  std::u32string text = range->base;
  text.back() += offset;
  return AppendText(utf8, text);
}

bool CMap::Cid(std::uint32_t code, int length, std::uint32_t& cid) const {
  const auto found = cid_chars_.find(Key(code, length));
  if (found != cid_chars_.end()) {
    cid = found->second;
    return true;
  }
  const Range* range = FindRange(cid_ranges_, code, length);
  if (!range) return false;
  cid = range->cid + (code - range->low);
  return true;
}

std::shared_ptr<const Font> Font::Load(File& file, const Object& font) {
  auto out = std::make_shared<Font>();
  const Object to_unicode = file.Resolve(font.Get("ToUnicode"));
  std::string data;
  if (to_unicode.Is(Object::Kind::kStream) && file.StreamData(to_unicode, data)) {
    out->to_unicode_ = std::make_shared<CMap>();
    out->to_unicode_->Parse(data);
  }
  if (font.Get("Subtype").IsName("Type0")) {
    out->LoadComposite(file, font);
  } else {
    out->LoadSimple(file, font);
  }
  return out;
}

void Font::LoadSimple(File& file, const Object& font) {
  kind_ = Kind::kSimple;
  const std::string base_font = BaseFontName(font);
  if (base_font.find("Courier") != std::string::npos) {
    standard_ = static_cast<int>(StandardFont::kCourier) + 1;
  } else if (base_font.find("Times") != std::string::npos) {
    standard_ = static_cast<int>(StandardFont::kTimes) + 1;
  } else {
    standard_ = static_cast<int>(StandardFont::kHelvetica) + 1;
  }
  const Object encoding = file.Resolve(font.Get("Encoding"));
  const Object& base_name =
      encoding.Is(Object::Kind::kName) ? encoding : encoding.Get("BaseEncoding");
  BaseEncoding base = BaseEncoding::kStandard;
  if (base_name.IsName("WinAnsiEncoding")) base = BaseEncoding::kWinAnsi;
  if (base_name.IsName("MacRomanEncoding")) base = BaseEncoding::kMacRoman;
  for (int c = 0; c < 256; ++c)
    code_points_[c] = EncodingCodePoint(base, static_cast<unsigned char>(c));
  const Object differences = file.Resolve(encoding.Get("Differences"));
  std::int64_t code = 0;
  for (const Object& item : differences.Items()) {
    if (item.Is(Object::Kind::kInt)) {
      code = item.integer;
    } else if (item.Is(Object::Kind::kName)) {
      if (code >= 0 && code < 256) code_points_[code] = GlyphNameCodePoint(item.text);
      ++code;
    }
  }
  const Object widths = file.Resolve(font.Get("Widths"));
  if (widths.Is(Object::Kind::kArray)) {
    has_widths_ = true;
    first_char_ =
        static_cast<int>(std::clamp<std::int64_t>(font.Get("FirstChar").Integer(), 0, 255));
    for (const Object& w : widths.Items()) {
      if (widths_.size() >= 256) break;
      widths_.push_back(file.Resolve(w).Number());
    }
  }
  const Object descriptor = file.Resolve(font.Get("FontDescriptor"));
  missing_width_ = file.Resolve(descriptor.Get("MissingWidth")).Number();
  if (font.Get("Subtype").IsName("Type3")) {
    const Object matrix = file.Resolve(font.Get("FontMatrix"));
    if (!matrix.Items().empty()) scale_ = matrix.Items().front().Number(0.001);
  }
}

void Font::SetPredefined(std::string_view name) {
  if (name.size() >= 2 && name.substr(name.size() - 2) == "-V") vertical_ = true;
  if (name.substr(0, 9) == "Identity-") {
    predefined_ = Predefined::kIdentity;
  } else if (name.substr(0, 7) == "GB-EUC-" || name.substr(0, 9) == "GBpc-EUC-" ||
             name.substr(0, 8) == "GBK-EUC-" || name.substr(0, 9) == "GBKp-EUC-") {
    predefined_ = Predefined::kGbk;
  } else if (name.substr(0, 3) == "Uni" && name.find("UCS2") != std::string_view::npos) {
    predefined_ = Predefined::kUcs2;
  } else if (name.substr(0, 3) == "Uni" && name.find("UTF16") != std::string_view::npos) {
    predefined_ = Predefined::kUtf16;
  }
}

void Font::LoadComposite(File& file, const Object& font) {
  kind_ = Kind::kComposite;
  const Object encoding = file.Resolve(font.Get("Encoding"));
  if (encoding.Is(Object::Kind::kName)) {
    SetPredefined(encoding.text);
  } else if (encoding.Is(Object::Kind::kStream)) {
    std::string data;
    if (file.StreamData(encoding, data)) {
      encoding_ = std::make_shared<CMap>();
      encoding_->Parse(data);
      if (!encoding_->UsedCMap().empty()) SetPredefined(encoding_->UsedCMap());
      if (encoding_->Vertical()) vertical_ = true;
    }
    const Object& name = file.Resolve(encoding.Get("CMapName"));
    if (predefined_ == Predefined::kNone && name.Is(Object::Kind::kName)) SetPredefined(name.text);
  }
  const Object descendants = file.Resolve(font.Get("DescendantFonts"));
  const Object cid_font =
      descendants.Items().empty() ? Object() : file.Resolve(descendants.Items().front());
  default_width_ = file.Resolve(cid_font.Get("DW")).Number(1000);
  const Object w = file.Resolve(cid_font.Get("W"));
  const Array& items = w.Items();
  for (std::size_t i = 0; i < items.size();) {
    const std::int64_t first = file.Resolve(items[i]).Integer(-1);
    if (first < 0 || i + 1 >= items.size()) break;
    const Object next = file.Resolve(items[i + 1]);
    if (next.Is(Object::Kind::kArray)) {
      std::uint32_t cid = static_cast<std::uint32_t>(first);
      for (const Object& value : next.Items()) {
        width_ranges_.emplace_back(cid, cid);
        width_values_.push_back(file.Resolve(value).Number());
        ++cid;
      }
      i += 2;
    } else {
      if (i + 2 >= items.size()) break;
      const std::int64_t last = next.Integer(-1);
      if (last >= first) {
        width_ranges_.emplace_back(static_cast<std::uint32_t>(first),
                                   static_cast<std::uint32_t>(last));
        width_values_.push_back(file.Resolve(items[i + 2]).Number());
      }
      i += 3;
    }
  }
  // Sorted by first CID, values alongside, for a binary search.
  std::vector<std::size_t> order(width_ranges_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return width_ranges_[a].first < width_ranges_[b].first;
  });
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
  std::vector<double> values;
  for (const std::size_t i : order) {
    ranges.push_back(width_ranges_[i]);
    values.push_back(width_values_[i]);
  }
  width_ranges_ = std::move(ranges);
  width_values_ = std::move(values);
}

double Font::SimpleWidth(unsigned code, char32_t c) const {
  if (has_widths_) {
    const int index = static_cast<int>(code) - first_char_;
    if (index >= 0 && static_cast<std::size_t>(index) < widths_.size()) {
      return widths_[static_cast<std::size_t>(index)] * scale_;
    }
    return missing_width_ * scale_;
  }
  return StandardWidth(static_cast<StandardFont>(standard_ - 1), c) / 1000.0;
}

double Font::CompositeWidth(std::uint32_t code, int length, std::string_view text) const {
  std::uint32_t cid = code;
  bool known = predefined_ == Predefined::kIdentity || predefined_ == Predefined::kNone;
  if (encoding_) known = encoding_->Cid(code, length, cid);
  if (!known) {
    // A CMap from Unicode or GBK to CIDs this reader does not hold: half width for ASCII.
    return (text.size() == 1 ? 500 : default_width_) / 1000.0;
  }
  auto it =
      std::upper_bound(width_ranges_.begin(), width_ranges_.end(), cid,
                       [](std::uint32_t key, const std::pair<std::uint32_t, std::uint32_t>& r) {
                         return key < r.first;
                       });
  for (int step = 0; step < 4 && it != width_ranges_.begin(); ++step) {
    --it;
    if (it->first <= cid && cid <= it->second) {
      return width_values_[static_cast<std::size_t>(it - width_ranges_.begin())] / 1000.0;
    }
  }
  return default_width_ / 1000.0;
}

bool Font::PredefinedText(std::string_view code, std::string& utf8) const {
  utf8.clear();
  switch (predefined_) {
    case Predefined::kGbk:
      if (code.size() == 1) {
        const auto c = static_cast<unsigned char>(code[0]);
        if (c >= 0x20 && c < 0x7F) utf8.push_back(static_cast<char>(c));
      } else if (code.size() == 2) {
        utf8 = GbkToUtf8(std::string(code));
        if (utf8 == "\xEF\xBF\xBD") utf8.clear();
      }
      break;
    case Predefined::kUcs2:
      if (code.size() == 2) AppendCodePoint(utf8, CodeValue(code));
      break;
    case Predefined::kUtf16:
      AppendText(utf8, Utf16(code));
      break;
    default:
      break;
  }
  return !utf8.empty();
}

std::size_t Font::Decode(std::string_view bytes, std::size_t max_glyphs,
                         std::vector<Glyph>& out) const {
  out.clear();
  std::size_t i = 0;
  while (i < bytes.size() && out.size() < max_glyphs) {
    Glyph glyph;
    if (kind_ == Kind::kSimple) {
      const auto code = static_cast<unsigned char>(bytes[i++]);
      char32_t c = code_points_[code];
      if (!to_unicode_ || !(to_unicode_->Unicode(code, 1, glyph.text) ||
                            to_unicode_->Unicode(code, 2, glyph.text))) {
        glyph.text.clear();
        AppendCodePoint(glyph.text, c);
      } else if (glyph.text.size() == 1) {
        c = static_cast<unsigned char>(glyph.text[0]);
      }
      glyph.advance = SimpleWidth(code, c);
      glyph.word_space = code == 32;
    } else {
      std::size_t length = 2;
      const std::string_view rest = bytes.substr(i);
      if (encoding_ && encoding_->HasCodeSpace()) {
        length = static_cast<std::size_t>(encoding_->CodeLength(rest));
      } else if (predefined_ == Predefined::kGbk) {
        const auto lead = static_cast<unsigned char>(rest[0]);
        length = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
      } else if (predefined_ == Predefined::kUtf16 && rest.size() >= 4) {
        const auto lead = static_cast<unsigned char>(rest[0]);
        length = lead >= 0xD8 && lead <= 0xDB ? 4 : 2;
      }
      length = std::min(length, rest.size());
      const std::string_view code_bytes = rest.substr(0, length);
      i += length;
      const std::uint32_t code = CodeValue(code_bytes);
      const int n = static_cast<int>(length);
      if (!to_unicode_ || !to_unicode_->Unicode(code, n, glyph.text)) {
        PredefinedText(code_bytes, glyph.text);
      }
      glyph.advance = CompositeWidth(code, n, glyph.text);
      glyph.word_space = length == 1 && code == 32;
    }
    out.push_back(std::move(glyph));
  }
  return i;
}

}  // namespace kelvaro::pdf
