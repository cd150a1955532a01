// What the Word and Excel readers share: the zip package, its relationship parts and the
// XML namespaces they look for.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "document/xml_reader.h"
#include "document/zip_reader.h"
#include "text/text.h"

namespace kelvaro::package {

// Namespaces of the transitional and the strict spelling of Office Open XML.
enum class Ns { kOther, kWord, kSheet, kRelationships, kMath, kCompatibility };
Ns NamespaceOf(std::string_view uri);

// An XmlReader with its namespace scope kept: Next() pushes and pops on its own.
class PartReader {
 public:
  explicit PartReader(std::string_view xml) : reader_(xml) {}
  XmlReader::Event Next();
  const XmlReader& Reader() const { return reader_; }
  // kStart and kEnd: the element's namespace and local name.
  Ns ElementNs() const { return element_ns_; }
  std::string_view Local() const { return LocalName(reader_.Name()); }
  bool Is(Ns ns, std::string_view local) const { return element_ns_ == ns && Local() == local; }
  // kStart: the value of the attribute of that namespace (kOther: no prefix) and local name.
  const std::string* Attribute(Ns ns, std::string_view local) const;
  // The reason for the user after kError.
  const char* ErrorReason() const;

 private:
  XmlReader reader_;
  XmlNamespaces namespaces_;
  Ns element_ns_ = Ns::kOther;
  bool pop_next_ = false;
};

// The archive behind a .docx or .xlsx. Bytes that are no zip give `not_this_kind`, an
// encrypted Office file (an OLE container holding an encrypted package) kEncrypted.
bool OpenPackage(const Bytes& bytes, ZipReader& zip, const char* not_this_kind, std::string& error);

// The member `name`; false without a reason when there is none, with one when it cannot
// be read.
bool ReadMember(const ZipReader& zip, std::string_view name, std::string& out, std::string& error);

struct Relationship {
  std::string id;
  std::string type;    // its last segment: "officeDocument", "header", "worksheet", ...
  std::string target;  // the member it names, resolved against the source part
};
// The relationships of `part` ("word/document.xml" -> "word/_rels/document.xml.rels"; "" for
// the package's own), internal targets only. No relationship part gives none.
bool ReadRelationships(const ZipReader& zip, std::string_view part, std::vector<Relationship>& out,
                       std::string& error);

// `target` as seen from `part`: "/x/y" is absolute, "../a" climbs from the part's folder.
std::string ResolveTarget(std::string_view part, std::string_view target);

// The main part a package's relationships name (officeDocument), else `fallback`.
std::string MainPart(const std::vector<Relationship>& package_relationships,
                     std::string_view fallback);

}  // namespace kelvaro::package
