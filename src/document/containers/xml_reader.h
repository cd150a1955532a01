// A small pull reader for the XML of Office documents: UTF-8 only, elements, attributes, the
// five predefined entities and character references, CDATA; comments and processing
// instructions are passed over. Names are reported as written ("w:p"): XmlNamespaces below
// resolves prefixes for callers that need it. A DOCTYPE that declares entities is refused,
// and nothing is ever fetched. The document is read whole from memory or piecewise from an
// XmlSource, which then holds only as much of it as one event needs.
#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kelvaro {

struct XmlAttribute {
  std::string_view name;  // as written; valid until the next event
  std::string value;      // entities and character references replaced, white space normalised
};

// Where a document read piecewise comes from.
class XmlSource {
 public:
  virtual ~XmlSource() = default;
  // Appends some more of the document to `out`: false when nothing is left, or when it
  // cannot be read (then Failed()).
  virtual bool Read(std::string& out) = 0;
  virtual bool Failed() const = 0;
};

// What a document may make the reader hold; past either it is refused (RefusedSize()).
struct XmlLimits {
  // Bytes of one run of text; of one start tag's attributes, each counting its record too;
  // of the names and namespace declarations of the open elements together; and, from a
  // source, of any one piece of markup or text read ahead.
  std::size_t max_markup = std::numeric_limits<std::size_t>::max();
  int max_depth = std::numeric_limits<int>::max();  // elements open at once
};

class XmlReader {
 public:
  enum class Event { kStart, kEnd, kText, kDone, kError };

  // `xml` must outlive the reader.
  explicit XmlReader(std::string_view xml, XmlLimits limits = {});
  // Reads `source` as it goes; `source` must outlive the reader. A failed source gives kError.
  explicit XmlReader(XmlSource& source, XmlLimits limits = {});

  // The next event. An empty element gives kStart then kEnd. Character data between two
  // pieces of markup (CDATA included) comes as one kText, line ends normalised to LF; text
  // outside the root element is not reported. After kDone or kError the same comes again.
  Event Next();

  // kStart and kEnd: where in the whole document the tag that gave the event begins (at its
  // '<') and ends (past its '>'), so that a caller can edit the bytes around it; an empty
  // element's kEnd gives its one tag again.
  std::size_t TagBegin() const { return tag_begin_; }
  std::size_t TagEnd() const { return tag_end_; }
  // kText: where in the whole document its first byte stands, markup such as CDATA included.
  std::size_t TextBegin() const { return text_begin_; }
  // kStart and kEnd: the element's name, valid until the next event. kStart: its attributes.
  std::string_view Name() const { return name_; }
  const std::vector<XmlAttribute>& Attributes() const { return attributes_; }
  const std::string* FindAttribute(std::string_view name) const;
  // kText: the decoded text.
  const std::string& Text() const { return text_; }
  // Elements open after this event (the root's kStart gives 1, its kEnd 0).
  int Depth() const { return static_cast<int>(open_.size()); }
  // kError: why, in English, for logs and tests; the document readers give the user a
  // reason of their own (errors.h).
  const std::string& Error() const { return error_; }
  // kError: whether the refusal was for a declared entity.
  bool RefusedEntity() const { return refused_entity_; }
  bool RefusedEncoding() const { return refused_encoding_; }
  // kError: whether a limit was passed.
  bool RefusedSize() const { return refused_size_; }

 private:
  struct Open {
    std::size_t name_at;  // in open_names_
    std::size_t held;     // bytes its name and namespace declarations count
  };

  Event ReadEvent();
  // The byte-order mark and the XML declaration, once, before the first event.
  bool ReadStart();
  // Outside the root element (before or after it), and inside it: false when there was
  // only something to skip and reading goes on, else true with the event in `e`.
  bool ReadOutsideRoot(Event& e);
  bool ReadInsideRoot(Event& e);
  Event Fail(const char* why);
  Event FailSize(const char* why);
  bool Refill();
  void Check();
  void Compact();
  bool Ensure(std::size_t n);
  std::size_t Find(std::string_view needle, std::size_t from);
  bool ReadName(std::string_view& name);
  bool AppendReference(std::string& out);
  bool ReadAttributeValue(std::string& out);
  Event ReadStartTag();
  Event ReadEndTag();
  void Close();
  bool SkipComment();
  bool SkipProcessingInstruction(bool at_start);
  bool ReadXmlDeclaration(std::size_t end);
  bool SkipDoctype();
  bool ReadCharacterData();
  bool SkipSpace();
  bool Starts(std::string_view s) { return Ensure(s.size()) && xml_.substr(pos_, s.size()) == s; }
  bool AtEnd() { return !Ensure(1); }

  XmlSource* source_ = nullptr;
  XmlLimits limits_;
  std::string buffer_;       // read from the source and not yet passed
  std::string_view xml_;     // the whole document, or buffer_
  std::size_t pos_ = 0;      // in xml_
  std::size_t mark_ = 0;     // where the markup being read started
  std::size_t checked_ = 0;  // bytes of xml_ known to be allowed characters
  std::size_t dropped_ = 0;  // bytes of the document cut from the front of buffer_
  std::size_t tag_begin_ = 0;
  std::size_t tag_end_ = 0;
  std::size_t text_begin_ = 0;
  bool more_ = false;  // the source may have more
  std::vector<Open> open_;
  std::string open_names_;
  std::size_t held_ = 0;  // by the open elements
  std::string end_name_;
  std::string_view name_;
  std::vector<XmlAttribute> attributes_;
  std::vector<std::pair<std::size_t, std::size_t>> spans_;  // attribute names in xml_
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
  bool refused_size_ = false;
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
    std::size_t outer;  // the binding of the same prefix it hides, or kNone
  };
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  std::vector<Binding> bindings_;
  // Prefix to its innermost binding, so that a lookup does not walk every declaration.
  std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> innermost_;
  int depth_ = 0;
};

// The part of a name after its prefix: "w:p" -> "p".
std::string_view LocalName(std::string_view name);

// For the writers: UTF-8 `text` appended with & < > and " escaped, as element content or an
// attribute's value in double quotes; characters XML 1.0 forbids (controls but tab, LF and
// CR; U+FFFE, U+FFFF) dropped.
void AppendXmlEscaped(std::string& out, std::string_view text);

}  // namespace kelvaro
