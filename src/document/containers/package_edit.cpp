#include "document/containers/package_edit.h"

#include <algorithm>

#include "text/text.h"

namespace kelvaro::package {

namespace {

using Event = XmlReader::Event;

constexpr std::string_view kRelationshipType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr std::string_view kNewRelationshipsPart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";

// The root, and the children of the root named `child`, of a part.
bool ReadRootAndChildren(std::string_view xml, std::string_view child, const DocumentLimits& limits,
                         Element& root, const std::function<void(const XmlReader&)>& each,
                         DocumentError& error) {
  return WalkPart(
      xml, limits,
      [&](Event e, const XmlReader& reader, const XmlNamespaces&) {
        if (reader.Depth() == (e == Event::kStart ? 1 : 0)) {
          e == Event::kStart ? root.Start(reader, xml) : root.Stop(reader);
        } else if (e == Event::kStart && reader.Depth() == 2 && LocalName(reader.Name()) == child) {
          each(reader);
        }
        return true;
      },
      error);
}

}  // namespace

std::string ApplyEdits(std::string_view xml, std::vector<Edit> edits) {
  std::stable_sort(edits.begin(), edits.end(),
                   [](const Edit& a, const Edit& b) { return a.at < b.at; });
  std::string out;
  std::size_t done = 0;
  for (const Edit& edit : edits) {
    out.append(xml.substr(done, edit.at - done)).append(edit.text);
    done = edit.at + edit.length;
  }
  out.append(xml.substr(done));
  return out;
}

void Element::Start(const XmlReader& reader, std::string_view xml) {
  found = true;
  name = std::string(reader.Name());
  begin = reader.TagBegin();
  inside = reader.TagEnd();
  empty = xml.substr(inside - 2, 2) == "/>";
}

void Element::Stop(const XmlReader& reader) {
  closing = reader.TagBegin();
  end = reader.TagEnd();
}

Edit Element::Append(const std::string& text) const {
  if (empty) return {inside - 2, 2, ">" + text + "</" + name + ">"};
  return {closing, 0, text};
}

Edit Element::Prepend(const std::string& text) const {
  if (empty) return Append(text);
  return {inside, 0, text};
}

std::string Element::Prefix() const { return PrefixOf(name); }

std::string PrefixOf(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
}

bool FindValue(std::string_view xml, std::size_t begin, std::size_t end, std::string_view name,
               std::size_t& at, std::size_t& length) {
  const std::string_view tag = xml.substr(begin, end - begin);
  std::size_t i = 1;
  while (i < tag.size() && tag[i] != ' ' && tag[i] != '\t' && tag[i] != '\n' && tag[i] != '\r' &&
         tag[i] != '/' && tag[i] != '>') {
    ++i;
  }
  for (;;) {
    const std::size_t name_at = tag.find_first_not_of(" \t\r\n", i);
    if (name_at == std::string_view::npos || tag[name_at] == '/' || tag[name_at] == '>') {
      return false;
    }
    const std::size_t equals = tag.find('=', name_at);
    const std::size_t name_end = tag.find_first_of(" \t\r\n=", name_at);
    const std::size_t quote = tag.find_first_of("\"'", equals);
    const std::size_t close = tag.find(tag[quote], quote + 1);
    if (tag.substr(name_at, name_end - name_at) == name) {
      at = begin + quote + 1;
      length = close - quote - 1;
      return true;
    }
    i = close + 1;
  }
}

bool WalkPart(std::string_view xml, const DocumentLimits& limits, const Visitor& visit,
              DocumentError& error) {
  XmlReader reader(xml, PartLimits(limits));
  XmlNamespaces namespaces;
  for (;;) {
    const Event e = reader.Next();
    if (e == Event::kDone) return true;
    if (e == Event::kError) return Fail(error, XmlErrorReason(reader));
    if (e == Event::kStart) namespaces.Push(reader);
    if (e != Event::kText && !visit(e, reader, namespaces)) return false;
    if (e == Event::kEnd) namespaces.Pop();
  }
}

bool Relationships::Read(std::string_view source, const std::string* xml,
                         const DocumentLimits& limits, DocumentError& error) {
  *this = Relationships();
  source_ = std::string(source);
  if (xml == nullptr) return true;
  xml_ = *xml;
  exists_ = true;
  const auto each = [&](const XmlReader& reader) {
    Relationship r;
    const std::string* id = reader.FindAttribute("Id");
    const std::string* type = reader.FindAttribute("Type");
    const std::string* target = reader.FindAttribute("Target");
    const std::string* mode = reader.FindAttribute("TargetMode");
    if (id != nullptr) r.id = *id;
    if (type != nullptr) r.type = *type;
    if (target != nullptr) r.target = *target;
    r.external = mode != nullptr && *mode == "External";
    if (!r.external && target != nullptr) r.part = ResolveTarget(source, r.target);
    all_.push_back(std::move(r));
    tags_.emplace_back(reader.TagBegin(), reader.TagEnd());
  };
  if (!ReadRootAndChildren(xml_, "Relationship", limits, root_, each, error)) return false;
  next_ = all_.size() + 1;
  return true;
}

const Relationship* Relationships::Find(std::string_view kind) const {
  for (const Relationship& r : all_) {
    if (!r.external && !r.id.empty() && !r.target.empty() && r.Kind() == kind) return &r;
  }
  return nullptr;
}

std::string Relationships::Add(std::string_view kind, std::string_view target) {
  std::string id;
  for (;; ++next_) {
    id = "rId" + std::to_string(next_);
    if (std::none_of(all_.begin(), all_.end(), [&](const Relationship& r) { return r.id == id; })) {
      break;
    }
  }
  ++next_;
  Relationship r;
  r.id = id;
  r.type = std::string(kRelationshipType).append(kind);
  r.target = std::string(target);
  added_.append("<").append(root_.Prefix()).append("Relationship Id=\"").append(id);
  added_.append("\" Type=\"").append(r.type).append("\" Target=\"");
  AppendXmlEscaped(added_, target);
  added_.append("\"/>");
  all_.push_back(std::move(r));
  return id;
}

bool Relationships::Retarget(std::string_view id, std::string_view target) {
  for (std::size_t i = 0; i < tags_.size(); ++i) {
    std::size_t at = 0, length = 0;
    if (all_[i].id != id ||
        !FindValue(xml_, tags_[i].first, tags_[i].second, "Target", at, length)) {
      continue;
    }
    std::string escaped;
    AppendXmlEscaped(escaped, target);
    retargeted_.push_back({at, length, std::move(escaped)});
    all_[i].target = std::string(target);
    all_[i].part = ResolveTarget(source_, target);
    return true;
  }
  return false;
}

std::string Relationships::Xml() const {
  if (!exists_) return std::string(kNewRelationshipsPart) + added_ + "</Relationships>";
  if (added_.empty() && retargeted_.empty()) return xml_;
  std::vector<Edit> edits = retargeted_;
  if (!added_.empty()) edits.push_back(root_.Append(added_));
  return ApplyEdits(xml_, std::move(edits));
}

bool ContentTypes::Read(std::string xml, const DocumentLimits& limits, DocumentError& error) {
  *this = ContentTypes();
  xml_ = std::move(xml);
  const auto each = [&](const XmlReader& reader) {
    if (const std::string* name = reader.FindAttribute("PartName")) {
      const std::string* type = reader.FindAttribute("ContentType");
      overridden_.emplace(LowerAscii(*name), type == nullptr ? std::string() : *type);
    }
  };
  return ReadRootAndChildren(xml_, "Override", limits, root_, each, error);
}

bool ContentTypes::Overrides(std::string_view part) const {
  return overridden_.contains(LowerAscii("/" + std::string(part)));
}

std::string ContentTypes::TypeOf(std::string_view part) const {
  const auto found = overridden_.find(LowerAscii("/" + std::string(part)));
  return found == overridden_.end() ? std::string() : found->second;
}

void ContentTypes::Add(std::string_view part, std::string_view content_type) {
  if (Overrides(part)) return;
  const std::string name = "/" + std::string(part);
  added_.append("<").append(root_.Prefix()).append("Override PartName=\"");
  AppendXmlEscaped(added_, name);
  added_.append("\" ContentType=\"").append(content_type).append("\"/>");
  overridden_.emplace(LowerAscii(name), content_type);
}

std::string ContentTypes::Xml() const {
  if (added_.empty()) return xml_;
  return ApplyEdits(xml_, {root_.Append(added_)});
}

}  // namespace kelvaro::package
