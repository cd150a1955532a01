// A package's parts edited in place, as the marked copies edit them: every byte of a part is
// kept but where something is added or replaced. The relationships and the content types of
// a package, read and added to, the same way for the Word and the Excel copy.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "document/containers/package.h"
#include "document/containers/xml_reader.h"
#include "document/document.h"
#include "document/errors.h"

namespace kelvaro::package {

// Bytes of a part replaced: `length` bytes at `at` by `text`. Edits at one place keep their
// order.
struct Edit {
  std::size_t at;
  std::size_t length;
  std::string text;
};
std::string ApplyEdits(std::string_view xml, std::vector<Edit> edits);

// Where an element of a part stands, to put more inside it.
struct Element {
  bool found = false;
  std::string name;         // as written
  std::size_t begin = 0;    // its start tag's '<'
  std::size_t inside = 0;   // past its start tag
  std::size_t closing = 0;  // its end tag's '<'
  std::size_t end = 0;      // past its end tag
  bool empty = false;       // <x/>
  std::size_t children = 0;

  void Start(const XmlReader& reader, std::string_view xml);
  void Stop(const XmlReader& reader);
  // `text` as its last, or first, children (an empty element made whole for it).
  Edit Append(const std::string& text) const;
  Edit Prepend(const std::string& text) const;
  // Its name's prefix with the colon ("x:"), empty for none.
  std::string Prefix() const;
};

// The prefix of a qualified name with its colon: "x:sheet" -> "x:"; "sheet" -> "".
std::string PrefixOf(std::string_view name);

// Where the value of the unprefixed attribute `name` lies in the start tag at [begin, end)
// of `xml`, which the reader has found well-formed; false when the tag has none.
bool FindValue(std::string_view xml, std::size_t begin, std::size_t end, std::string_view name,
               std::size_t& at, std::size_t& length);

// Reads `xml` whole, calling `visit` on every start and end tag with the namespaces in scope;
// false with the reader's reason when the part is refused, or with visit's.
using Visitor = std::function<bool(XmlReader::Event, const XmlReader&, const XmlNamespaces&)>;
bool WalkPart(std::string_view xml, const DocumentLimits& limits, const Visitor& visit,
              DocumentError& error);

// A relationships part, read to be looked into and added to.
class Relationships {
 public:
  // `source`: the part whose relationships these are ("" for the package's own). Without
  // `xml` (no such part yet) there are none, and the part is made anew when one is added.
  bool Read(std::string_view source, const std::string* xml, const DocumentLimits& limits,
            DocumentError& error);
  const std::vector<Relationship>& All() const { return all_; }
  // The first internal relationship of that kind ("styles"), or null.
  const Relationship* Find(std::string_view kind) const;
  // Adds a relationship of that kind (the type's last segment) to `target` as written, and
  // gives its id: "rIdN", the first N from one past the count that no relationship holds.
  std::string Add(std::string_view kind, std::string_view target);
  // The relationship `id` of the part pointed at `target` (as written) instead; false when
  // there is no such relationship in the part.
  bool Retarget(std::string_view id, std::string_view target);
  // The part with what was added and retargeted: its own bytes kept, or a new part when
  // there was none.
  std::string Xml() const;

 private:
  std::string source_;
  std::string xml_;
  bool exists_ = false;
  Element root_;
  std::vector<Relationship> all_;
  std::vector<std::pair<std::size_t, std::size_t>> tags_;  // of all_'s read ones, in xml_
  std::vector<Edit> retargeted_;
  std::string added_;
  std::size_t next_ = 1;
};

// The content types part ([Content_Types].xml), read to be added to.
class ContentTypes {
 public:
  bool Read(std::string xml, const DocumentLimits& limits, DocumentError& error);
  // Whether a part (its name in the package, no leading slash) has an override, the names
  // compared as a package compares them, without regard to ASCII case.
  bool Overrides(std::string_view part) const;
  // The content type its override gives the part; empty for none.
  std::string TypeOf(std::string_view part) const;
  // The part's content type, unless it has one already.
  void Add(std::string_view part, std::string_view content_type);
  // The part with what was added, its own bytes kept.
  std::string Xml() const;

 private:
  std::string xml_;
  Element root_;
  std::unordered_map<std::string, std::string> overridden_;  // "/xl/styles.xml", lower case
  std::string added_;
};

}  // namespace kelvaro::package
