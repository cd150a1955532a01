// What the Word and Excel readers share: the zip package, its relationship parts and the
// XML namespaces they look for. Parts are read as they inflate, each at most once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "document/containers/xml_reader.h"
#include "document/containers/zip_reader.h"
#include "document/document.h"
#include "document/errors.h"
#include "text/text.h"

namespace kelvaro::package {

// Namespaces of the transitional and the strict spelling of Office Open XML.
enum class Ns { kOther, kWord, kSheet, kRelationships, kMath, kCompatibility };
Ns NamespaceOf(std::string_view uri);

// The archive behind a .docx or .xlsx, and what reading it has taken.
class Package {
 public:
  explicit Package(const DocumentLimits& limits) : held_(limits) {}
  // Bytes that are no zip give `not_this_kind`, an encrypted Office file (an OLE container
  // holding an encrypted package) kEncrypted.
  bool Open(const Bytes& bytes, DocumentError not_this_kind, DocumentError& error);
  // The member of that name, or null.
  const ZipMember* Find(std::string_view name) const { return zip_.Find(name); }
  // Marks `member` as read: false when it was before, so that no part is read twice.
  bool FirstRead(const ZipMember& member) { return read_.insert(&member).second; }
  const DocumentLimits& Limits() const { return held_.Limits(); }
  // What is held to read the pieces (relationships, the sheets' names, shared strings) may
  // take as much again as the pieces.
  DocumentBudget& Held() { return held_; }

 private:
  friend class PartReader;
  ZipReader zip_;
  DocumentBudget held_;
  std::uint64_t inflated_ = 0;  // XML read from all parts
  std::unordered_set<const ZipMember*> read_;
};

// A part's XmlReader with its namespace scope kept: Next() pushes and pops on its own.
class PartReader {
 public:
  PartReader(Package& package, const ZipMember& member);
  XmlReader::Event Next();
  const XmlReader& Reader() const { return reader_; }
  // kStart and kEnd: the element's namespace and local name.
  Ns ElementNs() const { return element_ns_; }
  std::string_view Local() const { return LocalName(reader_.Name()); }
  bool Is(Ns ns, std::string_view local) const { return element_ns_ == ns && Local() == local; }
  // kStart: the value of the attribute of that namespace (kOther: no prefix) and local name.
  const std::string* Attribute(Ns ns, std::string_view local) const;
  // The reason for the user after kError.
  DocumentError ErrorReason() const;

 private:
  class Source : public XmlSource {
   public:
    Source(Package& package, const ZipMember& member);
    bool Read(std::string& out) override;
    bool Failed() const override { return error_ != DocumentError::kNone; }
    DocumentError Error() const { return error_; }

   private:
    Package& package_;
    ZipStream stream_;
    DocumentError error_ = DocumentError::kNone;
  };

  Source source_;
  XmlReader reader_;
  XmlNamespaces namespaces_;
  Ns element_ns_ = Ns::kOther;
  bool pop_next_ = false;
};

// A relationship of a part to another, as its relationships part holds it: the readers and
// the markers share this one model.
struct Relationship {
  std::string id;
  std::string type;    // whole: "http://schemas.openxmlformats.org/.../relationships/header"
  std::string target;  // as written
  bool external = false;
  std::string part;  // the member `target` names, resolved against the source part; internal only

  // The type's last segment: "officeDocument", "header", "worksheet", ...
  std::string_view Kind() const;
};
// The relationships of `part` ("word/document.xml" -> "word/_rels/document.xml.rels"; "" for
// the package's own), internal targets only, each held in the package's budget. No
// relationship part gives none.
bool ReadRelationships(Package& package, std::string_view part, std::vector<Relationship>& out,
                       DocumentError& error);

// The relationships part of `part`: "word/document.xml" -> "word/_rels/document.xml.rels".
std::string RelationshipsPart(std::string_view part);
// What an XML reader may hold of a part, by the document's limits.
XmlLimits PartLimits(const DocumentLimits& document);
// Why `reader` stopped with kError, in the reader's words for the user.
DocumentError XmlErrorReason(const XmlReader& reader);

// `target` as seen from `part`: "/x/y" is absolute, "../a" climbs from the part's folder.
std::string ResolveTarget(std::string_view part, std::string_view target);

// The main part a package's relationships name (officeDocument), else `fallback`.
std::string MainPart(const std::vector<Relationship>& package_relationships,
                     std::string_view fallback);

}  // namespace kelvaro::package
