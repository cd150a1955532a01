#include "document/markers/read_back.h"

#include <algorithm>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <unordered_set>

#include "document/containers/package.h"
#include "document/containers/package_edit.h"
#include "document/containers/xml_reader.h"
#include "document/containers/zip_reader.h"
#include "document/readers/read_document.h"

namespace kelvaro {
namespace {

using Event = XmlReader::Event;

constexpr std::string_view kWordUri =
    "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

// The ids a part's Word elements named `local` carry in w:id.
class CommentMarks {
 public:
  void Comment(const std::string& id) { comments_.insert(id); }

  // False when a mark names no comment, or a range opens twice.
  bool Mark(std::string_view local, const std::string& id) {
    if (local == "commentRangeStart" && !started_.insert(id).second) return false;
    references_.insert(id);
    return true;
  }

  void Unnamed(std::set<std::string>& faults) const {
    for (const std::string& id : references_) {
      if (comments_.count(id) == 0) faults.insert("names no comment: " + id);
    }
  }

 private:
  std::unordered_set<std::string> comments_, started_, references_;
};

bool IsCommentMark(std::string_view local) {
  return local == "commentRangeStart" || local == "commentRangeEnd" || local == "commentReference";
}

// The Word id of an element: its attribute in the Word namespace named "id".
const std::string* WordId(const XmlReader& reader, const XmlNamespaces& namespaces) {
  for (const XmlAttribute& a : reader.Attributes()) {
    if (LocalName(a.name) == "id" && namespaces.Uri(a.name, false) == kWordUri) return &a.value;
  }
  return nullptr;
}

// Every element in a namespace, every prefixed attribute's prefix declared.
bool Namespaced(const XmlReader& reader, const XmlNamespaces& namespaces) {
  if (namespaces.Uri(reader.Name()).empty()) return false;
  for (const XmlAttribute& a : reader.Attributes()) {
    const std::string_view name = a.name;
    if (name.find(':') == std::string_view::npos || name.starts_with("xmlns:") ||
        name.starts_with("xml:")) {
      continue;
    }
    if (namespaces.Uri(name, false).empty()) return false;
  }
  return true;
}

// Adds to `faults` those of one part: elements or attributes outside any namespace, revisions
// and comment marks without Word's id, comment marks outside the commentable part or opened
// twice. `marks`: where the part's comments and comment marks are told; null when not looked
// at. False when the part is no well-formed XML.
bool PartFaults(std::string_view xml, const DocumentLimits& limits, bool comments_part,
                bool commentable, CommentMarks* marks, std::set<std::string>& faults) {
  DocumentError error = DocumentError::kNone;
  return package::WalkPart(
      xml, limits,
      [&](Event e, const XmlReader& reader, const XmlNamespaces& namespaces) {
        if (e != Event::kStart) return true;
        if (!Namespaced(reader, namespaces)) {
          faults.insert("outside a namespace: " + std::string(reader.Name()));
          return true;
        }
        if (namespaces.Uri(reader.Name()) != kWordUri) return true;
        const std::string_view local = LocalName(reader.Name());
        const std::string* id = WordId(reader, namespaces);
        // A revision or a comment mark without Word's id is none to Word.
        if ((local == "ins" || local == "del" || IsCommentMark(local)) && id == nullptr) {
          faults.insert("without an id: " + std::string(local));
          return true;
        }
        if (marks == nullptr) return true;
        if (comments_part && local == "comment") {
          if (id == nullptr) {
            faults.insert("comment without an id");
          } else {
            marks->Comment(*id);
          }
        } else if (IsCommentMark(local)) {
          if (!commentable) faults.insert("comment mark out of place: " + std::string(local));
          if (!marks->Mark(local, *id)) faults.insert("range opened twice: " + *id);
        }
        return true;
      },
      error);
}

// The faults of a package's written parts together; nothing when the package is no zip or a
// written part, when present, is no well-formed XML. A part the package lacks has none.
std::optional<std::set<std::string>> PackageFaults(const Bytes& package,
                                                   const WrittenParts& written,
                                                   const DocumentLimits& limits) {
  ZipReader zip;
  DocumentError error = DocumentError::kNone;
  if (!zip.Open(std::span<const std::uint8_t>(package.data(), package.size()), error)) {
    return std::nullopt;
  }
  CommentMarks marks;
  std::set<std::string> faults;
  std::string xml;
  const auto walk = [&](const std::string& name, bool comments) {
    const ZipMember* member = zip.Find(name);
    if (member == nullptr) return true;
    if (!zip.Extract(*member, xml, error)) return false;
    return PartFaults(xml, limits, comments, name == written.commentable,
                      written.comments.empty() ? nullptr : &marks, faults);
  };
  if (!written.comments.empty() && !walk(written.comments, true)) return std::nullopt;
  for (const std::string& name : written.parts) {
    if (name != written.comments && !walk(name, false)) return std::nullopt;
  }
  // Without a comments part nothing here was commented by us, and the document's own marks
  // are not ours to judge.
  if (!written.comments.empty()) marks.Unnamed(faults);
  return faults;
}

}  // namespace

bool CopyReadsBack(const Bytes& copy, const Bytes& original, DocumentKind kind,
                   const WrittenParts& written, const DocumentLimits& limits) {
  {
    std::vector<TextPiece> pieces;
    DocumentError error = DocumentError::kNone;
    if (!ReadDocument(copy, kind, pieces, error, limits)) return false;
  }
  {
    ZipReader zip;
    DocumentError error = DocumentError::kNone;
    if (!zip.Open(std::span<const std::uint8_t>(copy.data(), copy.size()), error)) return false;
    for (const std::string& name : written.parts) {
      if (zip.Find(name) == nullptr) return false;
    }
    if (!written.comments.empty() && zip.Find(written.comments) == nullptr) return false;
  }
  const std::optional<std::set<std::string>> made = PackageFaults(copy, written, limits);
  if (!made) return false;
  if (made->empty()) return true;
  // The document's own faults came with it (and with the runs split from its own); only a
  // kind it did not have refuses the copy.
  const std::optional<std::set<std::string>> had = PackageFaults(original, written, limits);
  return had && std::includes(had->begin(), had->end(), made->begin(), made->end());
}

}  // namespace kelvaro
