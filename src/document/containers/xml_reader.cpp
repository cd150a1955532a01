#include "document/containers/xml_reader.h"

#include <algorithm>
#include <cstdint>

#include "text/encoding.h"

namespace kelvaro {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Past a few attributes, duplicates are found by sorting rather than by comparing each
// with every other.
bool HasDuplicate(const std::vector<XmlAttribute>& attributes) {
  constexpr std::size_t kCompared = 16;
  if (attributes.size() <= kCompared) {
    for (std::size_t i = 0; i < attributes.size(); ++i) {
      for (std::size_t k = 0; k < i; ++k) {
        if (attributes[i].name == attributes[k].name) return true;
      }
    }
    return false;
  }
  std::vector<std::string_view> names;
  names.reserve(attributes.size());
  for (const XmlAttribute& a : attributes) names.push_back(a.name);
  std::sort(names.begin(), names.end());
  return std::adjacent_find(names.begin(), names.end()) != names.end();
}

// Past this much read and passed, the buffer of a streamed document is cut back.
constexpr std::size_t kCompactAt = 64 << 10;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string_view LocalName(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

XmlReader::XmlReader(std::string_view xml, XmlLimits limits) : limits_(limits), xml_(xml) {}

XmlReader::XmlReader(XmlSource& source, XmlLimits limits)
    : source_(&source), limits_(limits), more_(true) {}

XmlReader::Event XmlReader::Fail(const char* why) {
  if (!failed_) error_ = why;
  failed_ = true;
  more_ = false;
  return Event::kError;
}

XmlReader::Event XmlReader::FailSize(const char* why) {
  if (!failed_) refused_size_ = true;
  return Fail(why);
}

// Every character must be well-formed UTF-8 and allowed in XML (no control characters, no
// U+FFFE or U+FFFF). Each is checked once, as it comes in, so the parser can copy bytes;
// a character cut off at the end of what has come waits for the rest.
void XmlReader::Check() {
  const std::size_t n = xml_.size();
  std::size_t i = checked_;
  while (i < n) {
    const auto b = static_cast<unsigned char>(xml_[i]);
    if (b >= 0x20 && b < 0x80) {
      ++i;
      continue;
    }
    if (b < 0x80) {
      if (b != '\t' && b != '\n' && b != '\r') break;
      ++i;
      continue;
    }
    const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    if (more_ && n - i < length) {
      checked_ = i;
      return;
    }
    const std::string one(xml_.substr(i, 4));
    std::size_t k = 0;
    const char32_t c = DecodeUtf8(one, k);
    // DecodeUtf8 gives U+FFFD for an invalid sequence; a real U+FFFD is three bytes EF BF BD.
    if (c == 0xFFFD && !(k == 3 && one.compare(0, 3, "\xEF\xBF\xBD") == 0)) break;
    if (!IsXmlChar(c)) break;
    i += k;
  }
  checked_ = i;
  if (i < n) Fail("not UTF-8, or a character XML does not allow");
}

bool XmlReader::Refill() {
  if (!more_) return false;
  if (buffer_.size() - mark_ >= limits_.max_markup) {
    FailSize("markup too large");
    return false;
  }
  const std::size_t before = buffer_.size();
  while (buffer_.size() == before && more_) more_ = source_->Read(buffer_);
  xml_ = buffer_;
  if (!more_ && source_->Failed()) {
    Fail("the document could not be read");
    return false;
  }
  Check();
  return !failed_ && buffer_.size() > before;
}

// Called where nothing points into the buffer: what has been passed may go.
void XmlReader::Compact() {
  mark_ = pos_;
  if (source_ == nullptr || pos_ < kCompactAt || pos_ < buffer_.size() / 2) return;
  const std::size_t drop = std::min(pos_, checked_);
  buffer_.erase(0, drop);
  dropped_ += drop;
  xml_ = buffer_;
  pos_ -= drop;
  checked_ -= drop;
  mark_ = pos_;
}

bool XmlReader::Ensure(std::size_t n) {
  while (xml_.size() - pos_ < n) {
    if (!Refill()) return false;
  }
  return true;
}

std::size_t XmlReader::Find(std::string_view needle, std::size_t from) {
  for (;;) {
    const std::size_t at = xml_.find(needle, from);
    if (at != std::string_view::npos) return at;
    if (xml_.size() >= needle.size()) from = std::max(from, xml_.size() - needle.size() + 1);
    if (!Refill()) return std::string_view::npos;
  }
}

const std::string* XmlReader::FindAttribute(std::string_view name) const {
  for (const XmlAttribute& a : attributes_) {
    if (a.name == name) return &a.value;
  }
  return nullptr;
}

bool XmlReader::SkipSpace() {
  const std::size_t from = pos_;
  while (!AtEnd() && IsSpace(xml_[pos_])) ++pos_;
  return pos_ != from;
}

bool XmlReader::ReadName(std::string_view& name) {
  const std::size_t from = pos_;
  if (AtEnd() || !IsNameStart(static_cast<unsigned char>(xml_[pos_]))) return false;
  ++pos_;
  while (!AtEnd() && IsNameChar(static_cast<unsigned char>(xml_[pos_]))) ++pos_;
  name = xml_.substr(from, pos_ - from);
  return true;
}

bool XmlReader::AppendReference(std::string& out) {
  // pos_ is at '&'. Only the predefined entities and character references exist here.
  Ensure(13);
  const std::size_t semicolon = xml_.substr(0, pos_ + 13).find(';', pos_);
  if (semicolon == std::string_view::npos) {
    Fail("bad reference");
    return false;
  }
  const std::string_view ref = xml_.substr(pos_ + 1, semicolon - pos_ - 1);
  pos_ = semicolon + 1;
  if (ref == "lt") {
    out += '<';
  } else if (ref == "gt") {
    out += '>';
  } else if (ref == "amp") {
    out += '&';
  } else if (ref == "apos") {
    out += '\'';
  } else if (ref == "quot") {
    out += '"';
  } else if (ref.size() >= 2 && ref[0] == '#') {
    const bool hex = ref[1] == 'x';
    std::size_t i = hex ? 2 : 1;
    if (i >= ref.size()) {
      Fail("bad character reference");
      return false;
    }
    std::uint32_t value = 0;
    for (; i < ref.size(); ++i) {
      const char c = ref[i];
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0 || value > 0x10FFFF) {
        Fail("bad character reference");
        return false;
      }
      value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    }
    if (!IsXmlChar(value)) {
      Fail("character reference to a character XML does not allow");
      return false;
    }
    AppendUtf8(out, value);
  } else {
    Fail("reference to an undeclared entity");
    return false;
  }
  return true;
}

bool XmlReader::ReadAttributeValue(std::string& out) {
  out.clear();
  if (AtEnd() || (xml_[pos_] != '"' && xml_[pos_] != '\'')) {
    Fail("attribute value not quoted");
    return false;
  }
  const char quote = xml_[pos_++];
  while (!AtEnd()) {
    const char c = xml_[pos_];
    if (c == quote) {
      ++pos_;
      return true;
    }
    if (c == '<') break;
    if (c == '&') {
      if (!AppendReference(out)) return false;
      continue;
    }
    if (c == '\r' && Ensure(2) && xml_[pos_ + 1] == '\n') ++pos_;
    out += IsSpace(c) ? ' ' : c;
    ++pos_;
  }
  Fail("bad attribute value");
  return false;
}

// Names are kept by position while a tag is read: reading on may move the buffer.
XmlReader::Event XmlReader::ReadStartTag() {
  tag_begin_ = dropped_ + pos_;
  ++pos_;  // '<'
  const std::size_t name_at = pos_;
  std::string_view name;
  if (!ReadName(name)) return Fail("bad element name");
  const std::size_t name_size = name.size();
  spans_.clear();
  for (;;) {
    const bool spaced = SkipSpace();
    if (AtEnd()) return Fail("unclosed start tag");
    if (Starts("/>")) {
      pos_ += 2;
      pending_end_ = true;
      break;
    }
    if (xml_[pos_] == '>') {
      ++pos_;
      break;
    }
    const std::size_t at = pos_;
    std::string_view attribute;
    if (!spaced || !ReadName(attribute)) return Fail("bad attribute");
    spans_.emplace_back(at, attribute.size());
    SkipSpace();
    if (AtEnd() || xml_[pos_] != '=') return Fail("attribute without a value");
    ++pos_;
    SkipSpace();
    attributes_.emplace_back();
    if (!ReadAttributeValue(attributes_.back().value)) return Event::kError;
    if ((pos_ - mark_) / sizeof(XmlAttribute) + attributes_.size() >
        limits_.max_markup / sizeof(XmlAttribute)) {
      return FailSize("start tag too large");
    }
  }
  // The tag is read whole: names can point into the buffer now.
  name = xml_.substr(name_at, name_size);
  for (std::size_t i = 0; i < spans_.size(); ++i) {
    attributes_[i].name = xml_.substr(spans_[i].first, spans_[i].second);
  }
  if (HasDuplicate(attributes_)) return Fail("duplicate attribute");
  // What the element keeps while it is open: its name and its namespace declarations.
  std::size_t held = name.size();
  for (const XmlAttribute& a : attributes_) {
    if (a.name.substr(0, 5) == "xmlns") held += a.name.size() + a.value.size();
  }
  if (static_cast<int>(open_.size()) >= limits_.max_depth) {
    return FailSize("elements nested too deeply");
  }
  if (held > limits_.max_markup - held_) return FailSize("open elements too large");
  open_.push_back({open_names_.size(), held});
  open_names_ += name;
  held_ += held;
  name_ = name;
  seen_root_ = true;
  tag_end_ = dropped_ + pos_;
  return Event::kStart;
}

void XmlReader::Close() {
  end_name_.assign(open_names_, open_.back().name_at);
  open_names_.resize(open_.back().name_at);
  held_ -= open_.back().held;
  open_.pop_back();
  name_ = end_name_;
}

XmlReader::Event XmlReader::ReadEndTag() {
  tag_begin_ = dropped_ + pos_;
  pos_ += 2;  // "</"
  const std::size_t name_at = pos_;
  std::string_view name;
  if (!ReadName(name)) return Fail("bad end tag");
  const std::size_t name_size = name.size();
  SkipSpace();
  if (AtEnd() || xml_[pos_] != '>') return Fail("bad end tag");
  ++pos_;
  name = xml_.substr(name_at, name_size);
  if (name != std::string_view(open_names_).substr(open_.back().name_at)) {
    return Fail("end tag does not match the start tag");
  }
  tag_end_ = dropped_ + pos_;
  Close();
  return Event::kEnd;
}

bool XmlReader::SkipComment() {
  const std::size_t dashes = Find("--", pos_ + 4);
  if (dashes == std::string_view::npos || !Ensure(dashes + 3 - pos_) || xml_[dashes + 2] != '>') {
    Fail("bad comment");
    return false;
  }
  pos_ = dashes + 3;
  return true;
}

bool XmlReader::SkipProcessingInstruction(bool at_start) {
  pos_ += 2;  // "<?"
  const std::size_t target_at = pos_;
  std::string_view target;
  if (!ReadName(target)) {
    Fail("bad processing instruction");
    return false;
  }
  const std::size_t end = Find("?>", pos_);
  if (end == std::string_view::npos || (end != pos_ && !IsSpace(xml_[pos_]))) {
    Fail("bad processing instruction");
    return false;
  }
  target = xml_.substr(target_at, target.size());
  if (!EqualsIgnoringCase(target, "xml")) {
    pos_ = end + 2;
    return true;
  }
  if (!at_start || target != "xml") {
    Fail("XML declaration not at the start");
    return false;
  }
  if (!ReadXmlDeclaration(end)) return false;
  pos_ = end + 2;
  return true;
}

// version="1.x", then optionally encoding and standalone, in that order, up to the "?>" at
// `end`.
bool XmlReader::ReadXmlDeclaration(std::size_t end) {
  const std::string_view order[] = {"version", "encoding", "standalone"};
  std::size_t next = 0;
  bool good = true;
  while (good) {
    const bool spaced = SkipSpace();
    if (pos_ >= end) break;
    std::string_view name;
    if (!spaced || !ReadName(name)) break;
    std::size_t k = next;
    while (k < 3 && name != order[k]) ++k;
    std::string value;
    if (k == 3 || (next == 0 && k != 0)) break;
    next = k + 1;
    SkipSpace();
    if (pos_ >= end || xml_[pos_] != '=') break;
    ++pos_;
    SkipSpace();
    if (!ReadAttributeValue(value) || pos_ > end) break;
    if (k == 0) {
      good = value.size() >= 3 && value.compare(0, 2, "1.") == 0 &&
             value.find_first_not_of("0123456789", 2) == std::string::npos;
    } else if (k == 1) {
      if (!EqualsIgnoringCase(value, "UTF-8") && !EqualsIgnoringCase(value, "US-ASCII")) {
        refused_encoding_ = true;
        Fail("encoding other than UTF-8");
        return false;
      }
    } else {
      good = value == "yes" || value == "no";
    }
  }
  if (!good || pos_ != end || next == 0) {
    Fail("bad XML declaration");
    return false;
  }
  return true;
}

bool XmlReader::SkipDoctype() {
  pos_ += 9;  // "<!DOCTYPE"
  std::string_view name;
  if (!SkipSpace() || !ReadName(name)) {
    Fail("bad DOCTYPE");
    return false;
  }
  bool subset = false;
  while (!AtEnd()) {
    const char c = xml_[pos_];
    if (c == '"' || c == '\'') {
      const std::size_t close = Find(std::string_view(&c, 1), pos_ + 1);
      if (close == std::string_view::npos) break;
      pos_ = close + 1;
    } else if (!subset && c == '>') {
      ++pos_;
      seen_doctype_ = true;
      return true;
    } else if (!subset && c == '[') {
      subset = true;
      ++pos_;
    } else if (subset && c == ']') {
      subset = false;
      ++pos_;
    } else if (subset && Starts("<!--")) {
      if (!SkipComment()) return false;
    } else if (subset && (Starts("<!ENTITY") || c == '%')) {
      // Entities are how a document grows without bound or reaches outside itself.
      refused_entity_ = true;
      Fail("DOCTYPE declares entities");
      return false;
    } else {
      ++pos_;
    }
  }
  Fail("unclosed DOCTYPE");
  return false;
}

bool XmlReader::ReadCharacterData() {
  text_.clear();
  for (;;) {
    if (text_.size() > limits_.max_markup) {
      FailSize("text too large");
      return false;
    }
    Compact();  // the text is copied out as it goes
    if (AtEnd()) break;
    const char c = xml_[pos_];
    if (c == '<') {
      if (!Starts("<![CDATA[")) break;
      const std::size_t end = Find("]]>", pos_ + 9);
      if (end == std::string_view::npos) {
        Fail("unclosed CDATA section");
        return false;
      }
      for (std::size_t i = pos_ + 9; i < end; ++i) {
        if (xml_[i] == '\r') {
          text_ += '\n';
          if (i + 1 < end && xml_[i + 1] == '\n') ++i;
        } else {
          text_ += xml_[i];
        }
      }
      pos_ = end + 3;
    } else if (c == '&') {
      if (!AppendReference(text_)) return false;
    } else if (c == '\r') {
      text_ += '\n';
      ++pos_;
      if (!AtEnd() && xml_[pos_] == '\n') ++pos_;
    } else if (c == ']' && Starts("]]>")) {
      Fail("]]> in text");
      return false;
    } else {
      std::size_t run = pos_ + 1;
      while (run < xml_.size()) {
        const char r = xml_[run];
        if (r == '<' || r == '&' || r == '\r' || r == ']') break;
        ++run;
      }
      text_.append(xml_, pos_, run - pos_);
      pos_ = run;
    }
  }
  return true;
}

XmlReader::Event XmlReader::Next() {
  if (failed_) return Event::kError;
  if (done_) return Event::kDone;
  // A source that fails, or a bad character read ahead, ends it whatever was found.
  const Event e = ReadEvent();
  return failed_ ? Event::kError : e;
}

XmlReader::Event XmlReader::ReadEvent() {
  attributes_.clear();
  name_ = {};
  if (pending_end_) {
    pending_end_ = false;
    Close();
    return Event::kEnd;
  }
  if (!started_ && !ReadStart()) return Event::kError;
  for (;;) {
    Compact();
    Event e = Event::kError;
    if (open_.empty() ? ReadOutsideRoot(e) : ReadInsideRoot(e)) return e;
  }
}

bool XmlReader::ReadStart() {
  started_ = true;
  Check();
  if (failed_) return false;
  if (Starts("\xEF\xBB\xBF")) pos_ += 3;
  if (Starts("<?xml") && Ensure(6) && IsSpace(xml_[pos_ + 5])) {
    return SkipProcessingInstruction(true);
  }
  return true;
}

bool XmlReader::ReadOutsideRoot(Event& e) {
  while (!AtEnd() && IsSpace(xml_[pos_])) {
    if (++pos_ == xml_.size()) Compact();
  }
  if (AtEnd()) {
    if (!seen_root_) {
      e = Fail("no root element");
      return true;
    }
    done_ = true;
    e = Event::kDone;
    return true;
  }
  e = Event::kError;
  if (xml_[pos_] != '<') {
    e = Fail("text outside the root element");
  } else if (Starts("<!--")) {
    return !SkipComment();
  } else if (Starts("<?")) {
    return !SkipProcessingInstruction(false);
  } else if (Starts("<!DOCTYPE")) {
    if (seen_root_ || seen_doctype_) {
      e = Fail("misplaced DOCTYPE");
    } else {
      return !SkipDoctype();
    }
  } else if (seen_root_) {
    e = Fail("content after the root element");
  } else {
    e = ReadStartTag();
  }
  return true;
}

bool XmlReader::ReadInsideRoot(Event& e) {
  e = Event::kError;
  if (AtEnd()) {
    e = Fail("unclosed element");
  } else if (xml_[pos_] == '<' && !Starts("<![CDATA[")) {
    if (Starts("</")) {
      e = ReadEndTag();
    } else if (Starts("<!--")) {
      return !SkipComment();
    } else if (Starts("<?")) {
      return !SkipProcessingInstruction(false);
    } else if (Starts("<!")) {
      e = Fail("markup declaration inside an element");
    } else {
      e = ReadStartTag();
    }
  } else {
    text_begin_ = dropped_ + pos_;
    e = ReadCharacterData() ? Event::kText : Event::kError;
  }
  return true;
}

void XmlNamespaces::Push(const XmlReader& reader) {
  ++depth_;
  for (const XmlAttribute& a : reader.Attributes()) {
    if (a.name.substr(0, 5) != "xmlns") continue;
    std::string_view prefix;
    if (a.name.size() > 5) {
      if (a.name[5] != ':') continue;
      prefix = a.name.substr(6);
    }
    const auto it = innermost_.find(prefix);
    const std::size_t outer = it == innermost_.end() ? kNone : it->second;
    bindings_.push_back({std::string(prefix), a.value, depth_, outer});
    if (it == innermost_.end()) {
      innermost_.emplace(prefix, bindings_.size() - 1);
    } else {
      it->second = bindings_.size() - 1;
    }
  }
}

void XmlNamespaces::Pop() {
  while (!bindings_.empty() && bindings_.back().depth == depth_) {
    const Binding& b = bindings_.back();
    if (b.outer == kNone) {
      innermost_.erase(b.prefix);
    } else {
      innermost_.find(b.prefix)->second = b.outer;
    }
    bindings_.pop_back();
  }
  --depth_;
}

std::string_view XmlNamespaces::Uri(std::string_view name, bool element) const {
  const std::size_t colon = name.find(':');
  const std::string_view prefix = colon == std::string_view::npos ? "" : name.substr(0, colon);
  if (prefix.empty() && !element) return {};
  if (prefix == "xml") return "http://www.w3.org/XML/1998/namespace";
  const auto it = innermost_.find(prefix);
  return it == innermost_.end() ? std::string_view() : std::string_view(bindings_[it->second].uri);
}

void AppendXmlEscaped(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    // What XML 1.0 cannot hold at all (a site's ESC or BEL, U+FFFE, U+FFFF) is dropped: a
    // character reference to it would be refused as well.
    if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
    if (byte == 0xEF && i + 2 < text.size() && text[i + 1] == '\xBF' &&
        (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
      i += 2;
      continue;
    }
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

}  // namespace kelvaro
