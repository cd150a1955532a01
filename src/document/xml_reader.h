// A small pull reader for the XML of Office documents: UTF-8 only, elements, attributes, the
// five predefined entities and character references, CDATA; comments and processing
// instructions are passed over. Names are reported as written ("w:p"): XmlNamespaces below
// resolves prefixes for callers that need it. A DOCTYPE that declares entities is refused,
// and nothing is ever fetched.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro {

struct XmlAttribute {
  std::string_view name;  // as written, points into the document
  std::string value;      // entities and character references replaced, white space normalised
};

class XmlReader {
 public:
  enum class Event { kStart, kEnd, kText, kDone, kError };

  // `xml` must outlive the reader.
  explicit XmlReader(std::string_view xml);

  // The next event. An empty element gives kStart then kEnd. Character data between two
  // pieces of markup (CDATA included) comes as one kText, line ends normalised to LF; text
  // outside the root element is not reported. After kDone or kError the same comes again.
  Event Next();

  // kStart and kEnd: the element's name. kStart: its attributes.
  std::string_view Name() const { return name_; }
  const std::vector<XmlAttribute>& Attributes() const { return attributes_; }
  const std::string* FindAttribute(std::string_view name) const;
  // kText: the decoded text.
  const std::string& Text() const { return text_; }
  // Elements open after this event (the root's kStart gives 1, its kEnd 0).
  int Depth() const { return static_cast<int>(open_.size()); }
  // kError: why, in English, for logs and tests; the document readers give the user a
  // reason of their own (reasons.h).
  const std::string& Error() const { return error_; }
  // kError: whether the refusal was for a declared entity.
  bool RefusedEntity() const { return refused_entity_; }
  bool RefusedEncoding() const { return refused_encoding_; }

 private:
  Event Fail(const char* why);
  bool ReadName(std::string_view& name);
  bool AppendReference(std::string& out);
  bool ReadAttributeValue(std::string& out);
  Event ReadStartTag();
  Event ReadEndTag();
  bool SkipComment();
  bool SkipProcessingInstruction(bool at_start);
  bool SkipDoctype();
  bool ReadCharacterData();
  bool SkipSpace();
  bool Starts(std::string_view s) const { return xml_.substr(pos_, s.size()) == s; }
  bool AtEnd() const { return pos_ >= xml_.size(); }

  std::string_view xml_;
  std::size_t pos_ = 0;
  std::vector<std::string_view> open_;
  std::string_view name_;
  std::vector<XmlAttribute> attributes_;
  std::string text_;
  std::string error_;
  bool started_ = false;
  bool seen_root_ = false;
  bool seen_doctype_ = false;
  bool pending_end_ = false;  // an empty element's kEnd is due
  bool done_ = false;
  bool failed_ = false;
  bool refused_entity_ = false;
  bool refused_encoding_ = false;
};

// Prefix to namespace, scoped like the elements: Push on every kStart, Pop on every kEnd.
class XmlNamespaces {
 public:
  void Push(const XmlReader& reader);
  void Pop();
  // The namespace of a name as written (the default namespace for an element without a
  // prefix when `element`, none for an attribute without one); empty when undeclared.
  std::string_view Uri(std::string_view name, bool element = true) const;

 private:
  struct Binding {
    std::string prefix;
    std::string uri;
    int depth;
  };
  std::vector<Binding> bindings_;
  int depth_ = 0;
};

// The part of a name after its prefix: "w:p" -> "p".
std::string_view LocalName(std::string_view name);

}  // namespace kelvaro
