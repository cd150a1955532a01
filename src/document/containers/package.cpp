#include "document/containers/package.h"

#include <algorithm>

#include "document/errors.h"

namespace kelvaro::package {

namespace {

bool StartsWith(const Bytes& b, std::string_view prefix) {
  return b.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), b.begin(),
                    [](char c, std::uint8_t x) { return static_cast<std::uint8_t>(c) == x; });
}

// Whether `needle` occurs in the bytes as UTF-16LE, as stream names of an OLE container do.
bool HoldsUtf16Name(const Bytes& b, std::string_view needle) {
  std::string wide;
  for (char c : needle) {
    wide += c;
    wide += '\0';
  }
  const std::string_view hay(reinterpret_cast<const char*>(b.data()), b.size());
  return hay.find(wide) != std::string_view::npos;
}

}  // namespace

Ns NamespaceOf(std::string_view uri) {
  if (uri == "http://schemas.openxmlformats.org/wordprocessingml/2006/main" ||
      uri == "http://purl.oclc.org/ooxml/wordprocessingml/main") {
    return Ns::kWord;
  }
  if (uri == "http://schemas.openxmlformats.org/spreadsheetml/2006/main" ||
      uri == "http://purl.oclc.org/ooxml/spreadsheetml/main") {
    return Ns::kSheet;
  }
  if (uri == "http://schemas.openxmlformats.org/officeDocument/2006/relationships" ||
      uri == "http://purl.oclc.org/ooxml/officeDocument/relationships") {
    return Ns::kRelationships;
  }
  if (uri == "http://schemas.openxmlformats.org/officeDocument/2006/math" ||
      uri == "http://purl.oclc.org/ooxml/officeDocument/math") {
    return Ns::kMath;
  }
  if (uri == "http://schemas.openxmlformats.org/markup-compatibility/2006") {
    return Ns::kCompatibility;
  }
  return Ns::kOther;
}

namespace {

// How much of a part is inflated at a time.
constexpr std::size_t kChunk = 64 << 10;

}  // namespace

XmlLimits PartLimits(const DocumentLimits& document) {
  XmlLimits limits;
  limits.max_markup = document.max_markup;
  limits.max_depth = document.max_depth;
  return limits;
}

DocumentError XmlErrorReason(const XmlReader& reader) {
  if (reader.RefusedEntity()) return DocumentError::kXmlEntity;
  if (reader.RefusedEncoding()) return DocumentError::kXmlEncoding;
  if (reader.RefusedSize()) return DocumentError::kContentTooLarge;
  return DocumentError::kDamaged;
}

std::string RelationshipsPart(std::string_view part) {
  const std::size_t slash = part.rfind('/');
  const std::size_t file = slash == std::string_view::npos ? 0 : slash + 1;
  return std::string(part.substr(0, file)) + "_rels/" + std::string(part.substr(file)) + ".rels";
}

PartReader::Source::Source(Package& package, const ZipMember& member) : package_(package) {
  stream_.Open(package.zip_, member, error_);
}

bool PartReader::Source::Read(std::string& out) {
  if (error_ != DocumentError::kNone) return false;
  const std::size_t before = out.size();
  const bool more = stream_.Read(out, kChunk);
  package_.inflated_ += out.size() - before;
  if (stream_.Error() != DocumentError::kNone) {
    error_ = stream_.Error();
  } else if (package_.inflated_ > package_.Limits().max_xml) {
    error_ = DocumentError::kTooLarge;
  }
  return more && error_ == DocumentError::kNone;
}

PartReader::PartReader(Package& package, const ZipMember& member)
    : source_(package, member), reader_(source_, PartLimits(package.Limits())) {}

XmlReader::Event PartReader::Next() {
  if (pop_next_) {
    namespaces_.Pop();
    pop_next_ = false;
  }
  const XmlReader::Event e = reader_.Next();
  if (e == XmlReader::Event::kStart) {
    namespaces_.Push(reader_);
    element_ns_ = NamespaceOf(namespaces_.Uri(reader_.Name()));
  } else if (e == XmlReader::Event::kEnd) {
    element_ns_ = NamespaceOf(namespaces_.Uri(reader_.Name()));
    pop_next_ = true;
  }
  return e;
}

const std::string* PartReader::Attribute(Ns ns, std::string_view local) const {
  for (const XmlAttribute& a : reader_.Attributes()) {
    if (LocalName(a.name) != local) continue;
    const bool prefixed = a.name.find(':') != std::string_view::npos;
    if (ns == Ns::kOther ? !prefixed : NamespaceOf(namespaces_.Uri(a.name, false)) == ns) {
      return &a.value;
    }
  }
  return nullptr;
}

DocumentError PartReader::ErrorReason() const {
  return source_.Failed() ? source_.Error() : XmlErrorReason(reader_);
}

bool Package::Open(const Bytes& bytes, DocumentError not_this_kind, DocumentError& error) {
  if (StartsWith(bytes, "PK")) return zip_.Open(bytes, error);
  // A password-protected .docx or .xlsx is an OLE container with the package encrypted inside.
  if (StartsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") &&
      HoldsUtf16Name(bytes, "EncryptedPackage")) {
    error = DocumentError::kEncrypted;
    return false;
  }
  error = not_this_kind;
  return false;
}

std::string ResolveTarget(std::string_view part, std::string_view target) {
  std::vector<std::string_view> parts;
  auto push_path = [&parts](std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
      std::size_t stop = path.find('/', start);
      if (stop == std::string_view::npos) stop = path.size();
      const std::string_view piece = path.substr(start, stop - start);
      if (piece == "..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!piece.empty() && piece != ".") {
        parts.push_back(piece);
      }
      start = stop + 1;
    }
  };
  if (target.empty() || target.front() != '/') {
    const std::size_t slash = part.rfind('/');
    if (slash != std::string_view::npos) push_path(part.substr(0, slash));
  }
  push_path(target);
  std::string out;
  for (std::string_view piece : parts) {
    if (!out.empty()) out += '/';
    out += piece;
  }
  return out;
}

bool ReadRelationships(Package& package, std::string_view part, std::vector<Relationship>& out,
                       DocumentError& error) {
  out.clear();
  error = DocumentError::kNone;
  const ZipMember* member = package.Find(RelationshipsPart(part));
  if (member == nullptr) return true;
  PartReader reader(package, *member);
  for (;;) {
    const XmlReader::Event e = reader.Next();
    if (e == XmlReader::Event::kDone) return true;
    if (e == XmlReader::Event::kError) {
      error = reader.ErrorReason();
      return false;
    }
    if (e != XmlReader::Event::kStart || reader.Local() != "Relationship") continue;
    const std::string* id = reader.Attribute(Ns::kOther, "Id");
    const std::string* type = reader.Attribute(Ns::kOther, "Type");
    const std::string* target = reader.Attribute(Ns::kOther, "Target");
    const std::string* mode = reader.Attribute(Ns::kOther, "TargetMode");
    if (id == nullptr || type == nullptr || target == nullptr) continue;
    if (mode != nullptr && *mode == "External") continue;
    Relationship r{*id, *type, *target, false, ResolveTarget(part, *target)};
    if (!package.Held().Take(r.id.size() + r.Kind().size() + r.part.size())) {
      error = DocumentError::kContentTooLarge;
      return false;
    }
    out.push_back(std::move(r));
  }
}

std::string_view Relationship::Kind() const {
  const std::size_t last = type.rfind('/');
  return last == std::string::npos ? std::string_view(type)
                                   : std::string_view(type).substr(last + 1);
}

std::string MainPart(const std::vector<Relationship>& package_relationships,
                     std::string_view fallback) {
  for (const Relationship& r : package_relationships) {
    if (r.Kind() == "officeDocument") return r.part;
  }
  return std::string(fallback);
}

}  // namespace kelvaro::package
