#include "document/xml_reader.h"

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

// Whether every character is well-formed UTF-8 and allowed in XML (no control characters,
// no U+FFFE or U+FFFF). Checked once for the whole document, so the parser can copy bytes.
bool IsXmlText(std::string_view s) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b >= 0x20 && b < 0x80) {
      ++i;
      continue;
    }
    if (b < 0x80) {
      if (b != '\t' && b != '\n' && b != '\r') return false;
      ++i;
      continue;
    }
    const std::size_t start = i;
    std::string one(s.substr(start, 4));
    std::size_t k = 0;
    const char32_t c = DecodeUtf8(one, k);
    i = start + k;
    // DecodeUtf8 gives U+FFFD for an invalid sequence; a real U+FFFD is three bytes EF BF BD.
    if (c == 0xFFFD && !(k == 3 && one.compare(0, 3, "\xEF\xBF\xBD") == 0)) return false;
    if (!IsXmlChar(c)) return false;
  }
  return true;
}

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

XmlReader::XmlReader(std::string_view xml) : xml_(xml) {}

XmlReader::Event XmlReader::Fail(const char* why) {
  if (!failed_) error_ = why;
  failed_ = true;
  return Event::kError;
}

const std::string* XmlReader::FindAttribute(std::string_view name) const {
  for (const XmlAttribute& a : attributes_) {
    if (a.name == name) return &a.value;
  }
  return nullptr;
}

bool XmlReader::SkipSpace() {
  const std::size_t from = pos_;
  while (pos_ < xml_.size() && IsSpace(xml_[pos_])) ++pos_;
  return pos_ != from;
}

bool XmlReader::ReadName(std::string_view& name) {
  const std::size_t from = pos_;
  if (AtEnd() || !IsNameStart(static_cast<unsigned char>(xml_[pos_]))) return false;
  ++pos_;
  while (pos_ < xml_.size() && IsNameChar(static_cast<unsigned char>(xml_[pos_]))) ++pos_;
  name = xml_.substr(from, pos_ - from);
  return true;
}

bool XmlReader::AppendReference(std::string& out) {
  // pos_ is at '&'. Only the predefined entities and character references exist here.
  const std::size_t semicolon = xml_.find(';', pos_);
  if (semicolon == std::string_view::npos || semicolon - pos_ > 12) {
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
    if (c == '\r' && pos_ + 1 < xml_.size() && xml_[pos_ + 1] == '\n') ++pos_;
    out += IsSpace(c) ? ' ' : c;
    ++pos_;
  }
  Fail("bad attribute value");
  return false;
}

XmlReader::Event XmlReader::ReadStartTag() {
  ++pos_;  // '<'
  std::string_view name;
  if (!ReadName(name)) return Fail("bad element name");
  attributes_.clear();
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
    XmlAttribute a;
    if (!spaced || !ReadName(a.name)) return Fail("bad attribute");
    SkipSpace();
    if (AtEnd() || xml_[pos_] != '=') return Fail("attribute without a value");
    ++pos_;
    SkipSpace();
    if (!ReadAttributeValue(a.value)) return Event::kError;
    for (const XmlAttribute& other : attributes_) {
      if (other.name == a.name) return Fail("duplicate attribute");
    }
    attributes_.push_back(std::move(a));
  }
  name_ = name;
  open_.push_back(name);
  seen_root_ = true;
  return Event::kStart;
}

XmlReader::Event XmlReader::ReadEndTag() {
  pos_ += 2;  // "</"
  std::string_view name;
  if (!ReadName(name)) return Fail("bad end tag");
  SkipSpace();
  if (AtEnd() || xml_[pos_] != '>') return Fail("bad end tag");
  ++pos_;
  if (name != open_.back()) return Fail("end tag does not match the start tag");
  name_ = name;
  open_.pop_back();
  attributes_.clear();
  return Event::kEnd;
}

bool XmlReader::SkipComment() {
  const std::size_t dashes = xml_.find("--", pos_ + 4);
  if (dashes == std::string_view::npos || dashes + 2 >= xml_.size() || xml_[dashes + 2] != '>') {
    Fail("bad comment");
    return false;
  }
  pos_ = dashes + 3;
  return true;
}

bool XmlReader::SkipProcessingInstruction(bool at_start) {
  pos_ += 2;  // "<?"
  std::string_view target;
  if (!ReadName(target)) {
    Fail("bad processing instruction");
    return false;
  }
  const std::size_t end = xml_.find("?>", pos_);
  if (end == std::string_view::npos || (end != pos_ && !IsSpace(xml_[pos_]))) {
    Fail("bad processing instruction");
    return false;
  }
  if (!EqualsIgnoringCase(target, "xml")) {
    pos_ = end + 2;
    return true;
  }
  if (!at_start || target != "xml") {
    Fail("XML declaration not at the start");
    return false;
  }
  // version="1.x", then optionally encoding and standalone, in that order.
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
  pos_ = end + 2;
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
      const std::size_t close = xml_.find(c, pos_ + 1);
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
  while (!AtEnd()) {
    const char c = xml_[pos_];
    if (c == '<') {
      if (!Starts("<![CDATA[")) break;
      const std::size_t end = xml_.find("]]>", pos_ + 9);
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
  if (pending_end_) {
    pending_end_ = false;
    name_ = open_.back();
    open_.pop_back();
    attributes_.clear();
    return Event::kEnd;
  }
  if (!started_) {
    started_ = true;
    if (xml_.substr(0, 3) == "\xEF\xBB\xBF") xml_.remove_prefix(3);
    if (!IsXmlText(xml_)) return Fail("not UTF-8, or a character XML does not allow");
    if (Starts("<?xml") && xml_.size() > 5 && IsSpace(xml_[5])) {
      if (!SkipProcessingInstruction(true)) return Event::kError;
    }
  }
  for (;;) {
    if (open_.empty()) {
      SkipSpace();
      if (AtEnd()) {
        if (!seen_root_) return Fail("no root element");
        done_ = true;
        return Event::kDone;
      }
      if (xml_[pos_] != '<') return Fail("text outside the root element");
      if (Starts("<!--")) {
        if (!SkipComment()) return Event::kError;
      } else if (Starts("<?")) {
        if (!SkipProcessingInstruction(false)) return Event::kError;
      } else if (Starts("<!DOCTYPE")) {
        if (seen_root_ || seen_doctype_) return Fail("misplaced DOCTYPE");
        if (!SkipDoctype()) return Event::kError;
      } else if (seen_root_) {
        return Fail("content after the root element");
      } else {
        return ReadStartTag();
      }
      continue;
    }
    if (AtEnd()) return Fail("unclosed element");
    if (xml_[pos_] == '<' && !Starts("<![CDATA[")) {
      if (Starts("</")) return ReadEndTag();
      if (Starts("<!--")) {
        if (!SkipComment()) return Event::kError;
        continue;
      }
      if (Starts("<?")) {
        if (!SkipProcessingInstruction(false)) return Event::kError;
        continue;
      }
      if (Starts("<!")) return Fail("markup declaration inside an element");
      return ReadStartTag();
    }
    if (!ReadCharacterData()) return Event::kError;
    return Event::kText;
  }
}

void XmlNamespaces::Push(const XmlReader& reader) {
  ++depth_;
  for (const XmlAttribute& a : reader.Attributes()) {
    if (a.name.substr(0, 5) != "xmlns") continue;
    if (a.name.size() == 5) {
      bindings_.push_back({std::string(), a.value, depth_});
    } else if (a.name[5] == ':') {
      bindings_.push_back({std::string(a.name.substr(6)), a.value, depth_});
    }
  }
}

void XmlNamespaces::Pop() {
  while (!bindings_.empty() && bindings_.back().depth == depth_) bindings_.pop_back();
  --depth_;
}

std::string_view XmlNamespaces::Uri(std::string_view name, bool element) const {
  const std::size_t colon = name.find(':');
  const std::string_view prefix = colon == std::string_view::npos ? "" : name.substr(0, colon);
  if (prefix.empty() && !element) return {};
  if (prefix == "xml") return "http://www.w3.org/XML/1998/namespace";
  for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
    if (it->prefix == prefix) return it->uri;
  }
  return {};
}

}  // namespace kelvaro
