#include "document/markers/xlsx_mark.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "document/containers/package.h"
#include "document/containers/xml_reader.h"
#include "document/containers/zip_reader.h"
#include "document/containers/zip_writer.h"
#include "document/readers/read_document.h"
#include "document/writers/xlsx_sheet.h"
#include "text/text.h"

namespace kelvaro {

namespace {

// A sheet index one place further on, for the sheet put before it; anything else as it was.
std::string ShiftedIndex(std::string_view v) {
  std::size_t n = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  return ec == std::errc() && end == v.data() + v.size() ? std::to_string(n + 1) : std::string(v);
}

using Event = XmlReader::Event;

constexpr std::string_view kStrictPrefix = "http://purl.oclc.org/ooxml/";
constexpr std::string_view kRelationshipType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Prefix(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
}

// Bytes replaced in a part; edits at the same place keep their order.
struct Edit {
  std::size_t at;
  std::size_t length;
  std::string text;
};

std::string Apply(std::string_view xml, std::vector<Edit> edits) {
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

// Our elements in a part whose main namespace has a prefix.
std::string WithPrefix(std::string_view xml, const std::string& prefix) {
  if (prefix.empty()) return std::string(xml);
  std::string out;
  for (std::size_t i = 0; i < xml.size(); ++i) {
    out += xml[i];
    if (xml[i] != '<') continue;
    if (i + 1 < xml.size() && xml[i + 1] == '/') out += xml[++i];
    out += prefix;
  }
  return out;
}

// Where an element stands, to put more inside it.
struct Element {
  bool found = false;
  std::string name;         // as written
  std::size_t begin = 0;    // its start tag's '<'
  std::size_t inside = 0;   // past its start tag
  std::size_t closing = 0;  // its end tag's '<'
  std::size_t end = 0;      // past its end tag
  bool empty = false;       // <x/>
  std::size_t children = 0;

  void Start(const XmlReader& reader, std::string_view xml) {
    found = true;
    name = std::string(reader.Name());
    begin = reader.TagBegin();
    inside = reader.TagEnd();
    empty = xml.substr(inside - 2, 2) == "/>";
  }
  void Stop(const XmlReader& reader) {
    closing = reader.TagBegin();
    end = reader.TagEnd();
  }
  // `text` as its last children.
  Edit Append(const std::string& text) const {
    if (empty) return {inside - 2, 2, ">" + text + "</" + name + ">"};
    return {closing, 0, text};
  }
  Edit Prepend(const std::string& text) const {
    if (empty) return Append(text);
    return {inside, 0, text};
  }
};

// The value of the unprefixed attribute `name` in the start tag at [begin, end) of `xml`,
// which the reader has found well-formed.
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

// Reads `xml` whole, calling `visit` on every start and end tag with the namespaces in scope;
// false with the reader's reason when the part is refused, or with visit's.
using Visitor = std::function<bool(Event, const XmlReader&, const XmlNamespaces&)>;
bool Walk(std::string_view xml, const DocumentLimits& limits, const Visitor& visit,
          DocumentError& error) {
  XmlReader reader(xml, package::PartLimits(limits));
  XmlNamespaces namespaces;
  for (;;) {
    const Event e = reader.Next();
    if (e == Event::kDone) return true;
    if (e == Event::kError) return Fail(error, package::XmlErrorReason(reader));
    if (e == Event::kStart) namespaces.Push(reader);
    if (e != Event::kText && !visit(e, reader, namespaces)) return false;
    if (e == Event::kEnd) namespaces.Pop();
  }
}

struct Relationship {
  std::string id;
  std::string type;  // whole
  std::string target;
  bool external = false;
};

struct RelationshipsPart {
  Element root;
  std::vector<Relationship> relationships;
};

bool ReadRelationshipsPart(std::string_view xml, const DocumentLimits& limits,
                           RelationshipsPart& part, DocumentError& error) {
  return Walk(
      xml, limits,
      [&](Event e, const XmlReader& reader, const XmlNamespaces&) {
        if (reader.Depth() == (e == Event::kStart ? 1 : 0)) {
          if (e == Event::kStart) part.root.Start(reader, xml);
          if (e == Event::kEnd) part.root.Stop(reader);
        } else if (e == Event::kStart && reader.Depth() == 2 &&
                   LocalName(reader.Name()) == "Relationship") {
          const std::string* id = reader.FindAttribute("Id");
          const std::string* type = reader.FindAttribute("Type");
          const std::string* target = reader.FindAttribute("Target");
          const std::string* mode = reader.FindAttribute("TargetMode");
          if (id == nullptr || type == nullptr || target == nullptr) return true;
          part.relationships.push_back(
              {*id, *type, *target, mode != nullptr && *mode == "External"});
        }
        return true;
      },
      error);
}

std::string UnusedId(const RelationshipsPart& part, std::size_t& next) {
  for (;; ++next) {
    const std::string id = "rId" + std::to_string(next);
    if (std::none_of(part.relationships.begin(), part.relationships.end(),
                     [&](const Relationship& r) { return r.id == id; })) {
      ++next;
      return id;
    }
  }
}

std::string Folder(std::string_view part) {
  const std::size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// What the workbook part needs changed, found on the way through it.
struct WorkbookPart {
  std::string prefix;  // of the main namespace, with its colon
  Element sheets;
  Element defined_names;
  std::size_t defined_names_at = 0;  // where a new <definedNames> goes
  std::vector<std::string> names;
  std::size_t max_sheet_id = 0;
  std::vector<Edit> edits;
};

bool ReadWorkbookPart(std::string_view xml, const DocumentLimits& limits, WorkbookPart& part,
                      DocumentError& error) {
  bool in_book_views = false, in_defined_names = false, in_sheets = false;
  const auto set_value = [&](const XmlReader& reader, std::string_view name,
                             const std::function<std::string(std::string_view)>& value) {
    std::size_t at = 0, length = 0;
    if (FindValue(xml, reader.TagBegin(), reader.TagEnd(), name, at, length)) {
      part.edits.push_back({at, length, value(xml.substr(at, length))});
    }
  };
  return Walk(
      xml, limits,
      [&](Event e, const XmlReader& reader, const XmlNamespaces& namespaces) {
        const std::string_view local = LocalName(reader.Name());
        const int depth = reader.Depth() + (e == Event::kEnd ? 1 : 0);
        if (depth == 1 && e == Event::kStart) {
          const std::string_view uri = namespaces.Uri(reader.Name());
          if (local != "workbook" || uri != xlsx::kMainNamespace) {
            return Fail(error, DocumentError::kNotExcel);  // strict, or no workbook
          }
          part.prefix = Prefix(reader.Name());
          return true;
        }
        if (depth == 2) {
          const bool start = e == Event::kStart;
          if (local == "bookViews") in_book_views = start;
          if (local == "definedNames") {
            in_defined_names = start;
            start ? part.defined_names.Start(reader, xml) : part.defined_names.Stop(reader);
          }
          if (local == "sheets") {
            in_sheets = start;
            start ? part.sheets.Start(reader, xml) : part.sheets.Stop(reader);
          }
          if (!start &&
              (local == "sheets" || local == "functionGroups" || local == "externalReferences")) {
            part.defined_names_at = std::max(part.defined_names_at, reader.TagEnd());
          }
          return true;
        }
        if (depth != 3 || e != Event::kStart) return true;
        if (in_book_views && local == "workbookView") {
          // The user's active sheet stays active, one place further on: a second selected
          // sheet would group the two in Excel, and its tabSelected lies in the user's own part.
          if (reader.FindAttribute("activeTab") != nullptr) {
            set_value(reader, "activeTab", ShiftedIndex);
          } else {
            part.edits.push_back(
                {reader.TagBegin() + 1 + reader.Name().size(), 0, " activeTab=\"1\""});
          }
          set_value(reader, "firstSheet", [](std::string_view) { return "0"; });
        } else if (in_defined_names && local == "definedName") {
          set_value(reader, "localSheetId", ShiftedIndex);
        } else if (in_sheets && local == "sheet") {
          if (const std::string* name = reader.FindAttribute("name")) part.names.push_back(*name);
          if (const std::string* id = reader.FindAttribute("sheetId")) {
            std::size_t n = 0;
            std::from_chars(id->data(), id->data() + id->size(), n);
            part.max_sheet_id = std::max(part.max_sheet_id, n);
          }
        }
        return true;
      },
      error);
}

// The styles part with the new sheet's appended; `first_style` is where they start.
bool EditStyles(std::string_view xml, const DocumentLimits& limits, std::string& out,
                int& first_style, DocumentError& error) {
  static constexpr std::string_view kOrder[] = {"numFmts", "fonts",        "fills",
                                                "borders", "cellStyleXfs", "cellXfs"};
  Element root;
  Element found[std::size(kOrder)];
  std::string current;
  const bool read = Walk(
      xml, limits,
      [&](Event e, const XmlReader& reader, const XmlNamespaces& namespaces) {
        const int depth = reader.Depth() + (e == Event::kEnd ? 1 : 0);
        const std::string_view local = LocalName(reader.Name());
        if (depth == 1) {
          if (e == Event::kEnd) return true;
          if (local != "styleSheet" || namespaces.Uri(reader.Name()) != xlsx::kMainNamespace) {
            return Fail(error, DocumentError::kNotExcel);
          }
          root.Start(reader, xml);
          return true;
        }
        if (depth == 2) {
          current = e == Event::kStart ? std::string(local) : std::string();
          for (std::size_t i = 0; i < std::size(kOrder); ++i) {
            if (local != kOrder[i] || found[i].end != 0) continue;
            e == Event::kStart ? found[i].Start(reader, xml) : found[i].Stop(reader);
          }
        } else if (depth == 3 && e == Event::kStart) {
          for (std::size_t i = 0; i < std::size(kOrder); ++i) {
            if (current == kOrder[i] && found[i].end == 0) ++found[i].children;
          }
        }
        return true;
      },
      error);
  if (!read) return false;
  if (root.empty) return Fail(error, DocumentError::kDamaged);

  const std::string prefix = Prefix(root.name);
  const int first_font = found[1].found ? static_cast<int>(found[1].children) : 0;
  const int first_fill = found[2].found ? static_cast<int>(found[2].children) : 2;
  first_style = found[5].found ? static_cast<int>(found[5].children) : 1;
  const xlsx::StyleParts parts = xlsx::SheetStyleParts(first_font, first_fill);
  // What a collection gets: appended when it is there; made whole, with what Excel expects
  // first, where the schema wants it when it is not.
  struct Collection {
    std::string added;
    std::size_t added_count;
    std::string made;
    std::size_t made_count;
  };
  const Collection collections[] = {
      {"", 0, "", 0},
      {parts.fonts, xlsx::kSheetFonts, parts.fonts, xlsx::kSheetFonts},
      {parts.fills, xlsx::kSheetFills,
       "<fill><patternFill patternType=\"none\"/></fill>"
       "<fill><patternFill patternType=\"gray125\"/></fill>" +
           parts.fills,
       2 + xlsx::kSheetFills},
      {"", 0, "<border/>", 1},
      {"", 0, "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>", 1},
      {parts.xfs, xlsx::kSheetStyles,
       "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>" + parts.xfs,
       1 + xlsx::kSheetStyles},
  };
  std::vector<Edit> edits;
  std::size_t after = found[0].found ? found[0].end : root.inside;
  for (std::size_t i = 1; i < std::size(kOrder); ++i) {
    const Element& element = found[i];
    const Collection& collection = collections[i];
    if (!element.found) {
      const std::string tag(kOrder[i]);
      edits.push_back({after, 0,
                       WithPrefix("<" + tag + " count=\"" + std::to_string(collection.made_count) +
                                      "\">" + collection.made + "</" + tag + ">",
                                  prefix)});
      continue;
    }
    after = element.end;
    if (collection.added_count == 0) continue;
    edits.push_back(element.Append(WithPrefix(collection.added, prefix)));
    std::size_t at = 0, length = 0;
    if (FindValue(xml, element.begin, element.inside, "count", at, length)) {
      edits.push_back({at, length, std::to_string(element.children + collection.added_count)});
    }
  }
  out = Apply(xml, std::move(edits));
  return true;
}

class Copier {
 public:
  explicit Copier(const DocumentLimits& limits) : limits_(limits) {}

  bool Open(const Bytes& bytes, DocumentError& error) {
    return zip_.Open(std::span<const std::uint8_t>(bytes.data(), bytes.size()), error);
  }
  const ZipReader& Zip() const { return zip_; }

  // The member's bytes, all members read counting against the limit on inflated XML.
  bool Read(const ZipMember& member, std::string& out, DocumentError& error) {
    if (member.size > limits_.max_xml - std::min<std::uint64_t>(read_, limits_.max_xml)) {
      return Fail(error, DocumentError::kTooLarge);
    }
    read_ += member.size;
    return zip_.Extract(member, out, error);
  }

  bool Taken(std::string_view name) const { return zip_.Find(name) != nullptr; }

 private:
  const DocumentLimits& limits_;
  ZipReader zip_;
  std::uint64_t read_ = 0;
};

}  // namespace

bool AddFirstSheet(const Bytes& xlsx, const XlsxSheet& sheet, Bytes& out, DocumentError& error,
                   const DocumentLimits& limits) {
  out.clear();
  if (!XlsxFits(sheet)) return Fail(error, DocumentError::kContentTooLarge);
  // What the reader refuses gets no copy either.
  {
    std::vector<TextPiece> pieces;
    if (!ReadDocument(xlsx, DocumentKind::kXlsx, pieces, error, limits)) return false;
  }
  error = DocumentError::kNone;
  Copier copier(limits);
  if (!copier.Open(xlsx, error)) return false;
  const ZipReader& zip = copier.Zip();

  // The parts to change, by member.
  std::unordered_map<const ZipMember*, std::string> changed;
  const auto read = [&](std::string_view name, const ZipMember*& member, std::string& text) {
    member = zip.Find(name);
    if (member == nullptr) return Fail(error, DocumentError::kDamaged);
    return copier.Read(*member, text, error);
  };

  std::string main = "xl/workbook.xml";
  if (const ZipMember* rels = zip.Find("_rels/.rels")) {
    std::string text;
    RelationshipsPart part;
    if (!copier.Read(*rels, text, error) || !ReadRelationshipsPart(text, limits, part, error)) {
      return false;
    }
    for (const Relationship& r : part.relationships) {
      if (r.type.starts_with(kStrictPrefix)) return Fail(error, DocumentError::kNotExcel);
      if (!r.external && r.type.ends_with("/officeDocument")) {
        main = package::ResolveTarget("", r.target);
      }
    }
  }

  const ZipMember* workbook_member = nullptr;
  std::string workbook_text;
  WorkbookPart workbook;
  if (!read(main, workbook_member, workbook_text) ||
      !ReadWorkbookPart(workbook_text, limits, workbook, error)) {
    return false;
  }
  if (!workbook.sheets.found) return Fail(error, DocumentError::kDamaged);

  const ZipMember* rels_member = nullptr;
  std::string rels_text;
  RelationshipsPart rels;
  if (!read(package::RelationshipsPart(main), rels_member, rels_text) ||
      !ReadRelationshipsPart(rels_text, limits, rels, error)) {
    return false;
  }
  const ZipMember* types_member = nullptr;
  std::string types_text;
  RelationshipsPart types;  // the same shape will do: a root and its children
  std::unordered_set<std::string> overridden;
  if (!read("[Content_Types].xml", types_member, types_text)) return false;
  if (!Walk(
          types_text, limits,
          [&](Event e, const XmlReader& reader, const XmlNamespaces&) {
            if (reader.Depth() == (e == Event::kStart ? 1 : 0)) {
              e == Event::kStart ? types.root.Start(reader, types_text) : types.root.Stop(reader);
            } else if (e == Event::kStart && LocalName(reader.Name()) == "Override") {
              if (const std::string* name = reader.FindAttribute("PartName")) {
                overridden.insert(LowerAscii(*name));
              }
            }
            return true;
          },
          error)) {
    return false;
  }

  const std::string folder = Folder(main);
  // "styles.xml", else "styles2.xml"...: some readers look for the usual name only.
  const auto unused_part = [&](const std::string& stem, std::size_t n) {
    for (;; ++n) {
      const std::string name = folder + stem + (n == 1 ? "" : std::to_string(n)) + ".xml";
      if (!copier.Taken(name) && !overridden.contains(LowerAscii("/" + name))) return name;
    }
  };
  const auto override_for = [&](const std::string& part, std::string_view type) {
    std::string text = "<" + Prefix(types.root.name) + "Override PartName=\"/";
    AppendXmlEscaped(text, part);
    text.append("\" ContentType=\"").append(type).append("\"/>");
    return text;
  };
  const auto relationship = [&](const std::string& id, std::string_view type,
                                const std::string& target) {
    std::string text = "<" + Prefix(rels.root.name) + "Relationship Id=\"" + id + "\" Type=\"";
    text.append(kRelationshipType).append(type).append("\" Target=\"");
    AppendXmlEscaped(text, target);
    return text + "\"/>";
  };
  std::size_t next_id = rels.relationships.size() + 1;
  std::string new_relationships, new_overrides;

  // Styles: the workbook's own with ours after them, or ours alone.
  int first_style = 1;
  std::string new_styles_name, new_styles;
  const Relationship* styles_relationship = nullptr;
  for (const Relationship& r : rels.relationships) {
    if (r.type.starts_with(kStrictPrefix)) return Fail(error, DocumentError::kNotExcel);
    if (!r.external && r.type.ends_with("/styles")) styles_relationship = &r;
  }
  if (styles_relationship != nullptr) {
    const ZipMember* member = nullptr;
    std::string text, edited;
    if (!read(package::ResolveTarget(main, styles_relationship->target), member, text) ||
        !EditStyles(text, limits, edited, first_style, error)) {
      return false;
    }
    changed[member] = std::move(edited);
  } else {
    new_styles_name = unused_part("styles", 1);
    new_styles = xlsx::StylesXml();
    new_relationships +=
        relationship(UnusedId(rels, next_id), "styles", new_styles_name.substr(folder.size()));
    new_overrides += override_for(new_styles_name, xlsx::kStylesContentType);
  }

  const std::string sheet_part = unused_part("worksheets/sheet", 2);
  const std::string sheet_id = UnusedId(rels, next_id);
  new_relationships += relationship(sheet_id, "worksheet", sheet_part.substr(folder.size()));
  new_overrides += override_for(sheet_part, xlsx::kWorksheetContentType);
  const std::string name = xlsx::UniqueSheetName(xlsx::ValidSheetName(sheet.name), workbook.names);
  const xlsx::SheetXml sheet_xml = xlsx::InlineSheetXml(sheet, first_style, false);

  std::string element = "<" + workbook.prefix + "sheet name=\"";
  AppendXmlEscaped(element, name);
  element += "\" sheetId=\"" + std::to_string(workbook.max_sheet_id + 1) + "\" ";
  // Declared on the element itself: a workbook may declare its prefix on each <sheet> alone.
  element +=
      "xmlns:r=\"" + std::string(xlsx::kRelationshipsNamespace) + "\" r:id=\"" + sheet_id + "\"/>";
  workbook.edits.push_back(workbook.sheets.Prepend(element));
  const std::string names = xlsx::SheetDefinedNames(workbook.prefix, name, 0, sheet_xml);
  if (!names.empty()) {
    if (workbook.defined_names.found) {
      workbook.edits.push_back(workbook.defined_names.Prepend(names));
    } else {
      workbook.edits.push_back({workbook.defined_names_at, 0,
                                "<" + workbook.prefix + "definedNames>" + names + "</" +
                                    workbook.prefix + "definedNames>"});
    }
  }
  changed[workbook_member] = Apply(workbook_text, std::move(workbook.edits));
  changed[rels_member] = Apply(rels_text, {rels.root.Append(new_relationships)});
  changed[types_member] = Apply(types_text, {types.root.Append(new_overrides)});

  try {
    ZipWriter writer;
    for (const ZipMember& member : zip.Members()) {
      if (const auto it = changed.find(&member); it != changed.end()) {
        writer.Add(member.name, it->second);
        continue;
      }
      std::string data;
      if (!copier.Read(member, data, error)) return false;
      writer.Add(member.name, data);
    }
    writer.Add(sheet_part, sheet_xml.xml);
    if (!new_styles.empty()) writer.Add(new_styles_name, new_styles);
    out = writer.Finish();
  } catch (const std::length_error&) {
    return Fail(error, DocumentError::kTooLarge);
  } catch (const std::invalid_argument&) {
    return Fail(error, DocumentError::kDamaged);
  }
  error = DocumentError::kNone;
  return true;
}

}  // namespace kelvaro
