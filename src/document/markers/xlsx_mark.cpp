#include "document/markers/xlsx_mark.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <set>
#include <span>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "document/containers/package.h"
#include "document/containers/package_edit.h"
#include "document/containers/xml_reader.h"
#include "document/containers/zip_reader.h"
#include "document/containers/zip_writer.h"
#include "document/markers/read_back.h"
#include "document/readers/read_document.h"
#include "document/writers/xlsx_sheet.h"
#include "text/text.h"

namespace kelvaro {

namespace {

using Event = XmlReader::Event;
using package::Edit;
using package::Element;

constexpr std::string_view kStrictPrefix = "http://purl.oclc.org/ooxml/";

// A sheet index one place further on, for the sheet put before it; anything else as it was.
std::string ShiftedIndex(std::string_view v) {
  std::size_t n = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  return ec == std::errc() && end == v.data() + v.size() ? std::to_string(n + 1) : std::string(v);
}

// One past the largest sheetId while that is a 32-bit id, as Excel numbers sheets; past the
// largest there is, the first one unused.
std::uint64_t UnusedSheetId(const std::set<std::uint64_t>& ids) {
  constexpr std::uint64_t kLargest = 0xFFFFFFFF;
  if (ids.empty()) return 1;
  if (*ids.rbegin() < kLargest) return *ids.rbegin() + 1;
  std::uint64_t id = 1;
  for (const std::uint64_t taken : ids) {
    if (taken > id) break;
    if (taken == id) ++id;
  }
  return id;  // a workbook holds far fewer sheets than ids
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

std::string Folder(std::string_view part) {
  const std::size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// A Strict Open XML relationship: the strict workbook is read but not copied.
bool IsStrict(const package::Relationship& r) { return r.type.starts_with(kStrictPrefix); }

// What the workbook part needs changed, found on the way through it.
struct WorkbookPart {
  std::string prefix;  // of the main namespace, with its colon
  Element sheets;
  Element defined_names;
  std::size_t defined_names_at = 0;  // where a new <definedNames> goes
  std::vector<std::string> names;
  std::set<std::uint64_t> sheet_ids;
  std::vector<Edit> edits;
};

// The workbook part's walk: its root, the collections below it, and their members.
class WorkbookReader {
 public:
  WorkbookReader(std::string_view xml, WorkbookPart& part, DocumentError& error)
      : xml_(xml), part_(part), error_(error) {}

  bool Visit(Event e, const XmlReader& reader, const XmlNamespaces& namespaces) {
    const std::string_view local = LocalName(reader.Name());
    const int depth = reader.Depth() + (e == Event::kEnd ? 1 : 0);
    if (depth == 1 && e == Event::kStart) {
      if (local != "workbook" || namespaces.Uri(reader.Name()) != xlsx::kMainNamespace) {
        return Fail(error_, namespaces.Uri(reader.Name()).starts_with(kStrictPrefix)
                                ? DocumentError::kStrictXml
                                : DocumentError::kNotExcel);
      }
      part_.prefix = package::PrefixOf(reader.Name());
    } else if (depth == 2) {
      Collection(e == Event::kStart, local, reader);
    } else if (depth == 3 && e == Event::kStart) {
      Member(local, reader);
    }
    return true;
  }

 private:
  void Collection(bool start, std::string_view local, const XmlReader& reader) {
    if (local == "bookViews") in_book_views_ = start;
    if (local == "definedNames") {
      in_defined_names_ = start;
      start ? part_.defined_names.Start(reader, xml_) : part_.defined_names.Stop(reader);
    }
    if (local == "sheets") {
      in_sheets_ = start;
      start ? part_.sheets.Start(reader, xml_) : part_.sheets.Stop(reader);
    }
    if (!start &&
        (local == "sheets" || local == "functionGroups" || local == "externalReferences")) {
      part_.defined_names_at = std::max(part_.defined_names_at, reader.TagEnd());
    }
  }

  void Member(std::string_view local, const XmlReader& reader) {
    if (in_book_views_ && local == "workbookView") {
      // The user's active sheet stays active, one place further on: a second selected
      // sheet would group the two in Excel, and its tabSelected lies in the user's own part.
      if (reader.FindAttribute("activeTab") != nullptr) {
        SetValue(reader, "activeTab", ShiftedIndex);
      } else {
        part_.edits.push_back(
            {reader.TagBegin() + 1 + reader.Name().size(), 0, " activeTab=\"1\""});
      }
      SetValue(reader, "firstSheet", [](std::string_view) { return "0"; });
    } else if (in_defined_names_ && local == "definedName") {
      SetValue(reader, "localSheetId", ShiftedIndex);
    } else if (in_sheets_ && local == "sheet") {
      if (const std::string* name = reader.FindAttribute("name")) part_.names.push_back(*name);
      if (const std::string* id = reader.FindAttribute("sheetId")) {
        std::uint64_t n = 0;
        std::from_chars(id->data(), id->data() + id->size(), n);
        part_.sheet_ids.insert(n);
      }
    }
  }

  void SetValue(const XmlReader& reader, std::string_view name,
                const std::function<std::string(std::string_view)>& value) {
    std::size_t at = 0, length = 0;
    if (package::FindValue(xml_, reader.TagBegin(), reader.TagEnd(), name, at, length)) {
      part_.edits.push_back({at, length, value(xml_.substr(at, length))});
    }
  }

  std::string_view xml_;
  WorkbookPart& part_;
  DocumentError& error_;
  bool in_book_views_ = false, in_defined_names_ = false, in_sheets_ = false;
};

bool ReadWorkbookPart(std::string_view xml, const DocumentLimits& limits, WorkbookPart& part,
                      DocumentError& error) {
  WorkbookReader reader(xml, part, error);
  return package::WalkPart(
      xml, limits,
      [&](Event e, const XmlReader& r, const XmlNamespaces& ns) { return reader.Visit(e, r, ns); },
      error);
}

// The collections of a styles part that a sheet's styles go into, in the schema's order.
constexpr std::string_view kStyleCollections[] = {"numFmts", "fonts",        "fills",
                                                  "borders", "cellStyleXfs", "cellXfs"};
constexpr std::size_t kCollections = std::size(kStyleCollections);

struct StylesPart {
  Element root;
  Element found[kCollections];
};

bool ReadStylesPart(std::string_view xml, const DocumentLimits& limits, StylesPart& part,
                    DocumentError& error) {
  std::string current;
  return package::WalkPart(
      xml, limits,
      [&](Event e, const XmlReader& reader, const XmlNamespaces& namespaces) {
        const int depth = reader.Depth() + (e == Event::kEnd ? 1 : 0);
        const std::string_view local = LocalName(reader.Name());
        if (depth == 1) {
          if (e == Event::kEnd) return true;
          if (local != "styleSheet" || namespaces.Uri(reader.Name()) != xlsx::kMainNamespace) {
            return Fail(error, namespaces.Uri(reader.Name()).starts_with(kStrictPrefix)
                                   ? DocumentError::kStrictXml
                                   : DocumentError::kNotExcel);
          }
          part.root.Start(reader, xml);
        } else if (depth == 2) {
          current = e == Event::kStart ? std::string(local) : std::string();
          for (std::size_t i = 0; i < kCollections; ++i) {
            if (local != kStyleCollections[i] || part.found[i].end != 0) continue;
            e == Event::kStart ? part.found[i].Start(reader, xml) : part.found[i].Stop(reader);
          }
        } else if (depth == 3 && e == Event::kStart) {
          for (std::size_t i = 0; i < kCollections; ++i) {
            if (current == kStyleCollections[i] && part.found[i].end == 0) {
              ++part.found[i].children;
            }
          }
        }
        return true;
      },
      error);
}

// What a collection of the styles part gets: appended when it is there; made whole, with
// what Excel expects first, where the schema wants it when it is not.
struct Collection {
  std::string added;
  std::size_t added_count;
  std::string made;
  std::size_t made_count;
};

// The styles part with the new sheet's appended; `first_style` is where they start.
bool EditStyles(std::string_view xml, const DocumentLimits& limits, std::string& out,
                int& first_style, DocumentError& error) {
  StylesPart part;
  if (!ReadStylesPart(xml, limits, part, error)) return false;
  if (part.root.empty) return Fail(error, DocumentError::kDamaged);
  const Element* found = part.found;
  const std::string prefix = part.root.Prefix();
  const int first_font = found[1].found ? static_cast<int>(found[1].children) : 0;
  const int first_fill = found[2].found ? static_cast<int>(found[2].children) : 2;
  first_style = found[5].found ? static_cast<int>(found[5].children) : 1;
  const xlsx::StyleParts parts = xlsx::SheetStyleParts(first_font, first_fill);
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
  std::size_t after = found[0].found ? found[0].end : part.root.inside;
  for (std::size_t i = 1; i < kCollections; ++i) {
    const Element& element = found[i];
    const Collection& collection = collections[i];
    if (!element.found) {
      const std::string tag(kStyleCollections[i]);
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
    if (package::FindValue(xml, element.begin, element.inside, "count", at, length)) {
      edits.push_back({at, length, std::to_string(element.children + collection.added_count)});
    }
  }
  out = package::ApplyEdits(xml, std::move(edits));
  return true;
}

// The workbook's members, all read counting against the limit on inflated XML.
class Copier {
 public:
  explicit Copier(const DocumentLimits& limits) : limits_(limits) {}

  bool Open(const Bytes& bytes, DocumentError& error) {
    return zip_.Open(std::span<const std::uint8_t>(bytes.data(), bytes.size()), error);
  }
  const ZipReader& Zip() const { return zip_; }

  bool Read(const ZipMember& member, std::string& out, DocumentError& error) {
    if (member.size > limits_.max_xml - std::min<std::uint64_t>(read_, limits_.max_xml)) {
      return Fail(error, DocumentError::kTooLarge);
    }
    read_ += member.size;
    return zip_.Extract(member, out, error);
  }
  // The member of that name and its bytes; a part that is not there is damage.
  bool Read(std::string_view name, const ZipMember*& member, std::string& out,
            DocumentError& error) {
    member = zip_.Find(name);
    if (member == nullptr) return Fail(error, DocumentError::kDamaged);
    return Read(*member, out, error);
  }

  bool Taken(std::string_view name) const { return zip_.Find(name) != nullptr; }

 private:
  const DocumentLimits& limits_;
  ZipReader zip_;
  std::uint64_t read_ = 0;
};

// A copy of a workbook with our sheet put first, made a step at a time: where the workbook
// is, what its parts say, the styles, the sheet, and the copy written.
class SheetAdder {
 public:
  SheetAdder(const XlsxSheet& sheet, const DocumentLimits& limits)
      : sheet_(sheet), limits_(limits), copier_(limits) {}

  // `written`: the parts changed or added.
  bool Add(const Bytes& xlsx, Bytes& out, std::vector<std::string>& written, DocumentError& error) {
    if (!copier_.Open(xlsx, error) || !FindMainPart(error) || !ReadParts(error) ||
        !AddStyles(error) || !AddSheet(error) || !Write(out, error)) {
      return false;
    }
    for (const auto& [member, data] : changed_) written.push_back(member->name);
    written.push_back(sheet_part_);
    if (!new_styles_.empty()) written.push_back(new_styles_name_);
    return true;
  }

 private:
  // The workbook part the package names; a strict workbook is refused.
  bool FindMainPart(DocumentError& error) {
    const ZipMember* rels = copier_.Zip().Find(package::RelationshipsPart(""));
    if (rels == nullptr) return true;
    std::string text;
    package::Relationships relationships;
    if (!copier_.Read(*rels, text, error) || !relationships.Read("", &text, limits_, error)) {
      return false;
    }
    for (const package::Relationship& r : relationships.All()) {
      if (IsStrict(r)) return Fail(error, DocumentError::kStrictXml);
      if (!r.external && !r.target.empty() && r.Kind() == "officeDocument") main_ = r.part;
    }
    return true;
  }

  // The workbook, its relationships and the content types, as they will be edited.
  bool ReadParts(DocumentError& error) {
    if (!copier_.Read(main_, workbook_member_, workbook_text_, error) ||
        !ReadWorkbookPart(workbook_text_, limits_, workbook_, error)) {
      return false;
    }
    if (!workbook_.sheets.found) return Fail(error, DocumentError::kDamaged);
    std::string text;
    if (!copier_.Read(package::RelationshipsPart(main_), rels_member_, text, error) ||
        !relationships_.Read(main_, &text, limits_, error)) {
      return false;
    }
    for (const package::Relationship& r : relationships_.All()) {
      if (IsStrict(r)) return Fail(error, DocumentError::kStrictXml);
    }
    return copier_.Read("[Content_Types].xml", types_member_, text, error) &&
           types_.Read(std::move(text), limits_, error);
  }

  // "styles.xml", else "styles2.xml"...: some readers look for the usual name only.
  std::string UnusedPart(const std::string& stem, std::size_t n) const {
    for (;; ++n) {
      const std::string name = Folder(main_) + stem + (n == 1 ? "" : std::to_string(n)) + ".xml";
      if (!copier_.Taken(name) && !types_.Overrides(name)) return name;
    }
  }

  // The new part `name`, its relationship from the workbook and its content type.
  std::string Relate(const std::string& name, std::string_view kind,
                     std::string_view content_type) {
    types_.Add(name, content_type);
    return relationships_.Add(kind, name.substr(Folder(main_).size()));
  }

  // The workbook's own styles with ours after them, or ours alone.
  bool AddStyles(DocumentError& error) {
    const package::Relationship* styles = nullptr;
    for (const package::Relationship& r : relationships_.All()) {
      if (!r.external && !r.target.empty() && r.Kind() == "styles") styles = &r;
    }
    if (styles == nullptr) {
      new_styles_name_ = UnusedPart("styles", 1);
      new_styles_ = xlsx::StylesXml();
      Relate(new_styles_name_, "styles", xlsx::kStylesContentType);
      return true;
    }
    const ZipMember* member = nullptr;
    std::string text, edited;
    if (!copier_.Read(styles->part, member, text, error) ||
        !EditStyles(text, limits_, edited, first_style_, error)) {
      return false;
    }
    changed_[member] = std::move(edited);
    return true;
  }

  // Our sheet, first in the workbook, with its defined names.
  bool AddSheet(DocumentError&) {
    sheet_part_ = UnusedPart("worksheets/sheet", 2);
    const std::string id = Relate(sheet_part_, "worksheet", xlsx::kWorksheetContentType);
    const std::string name =
        xlsx::UniqueSheetName(xlsx::ValidSheetName(sheet_.name), workbook_.names);
    sheet_xml_ = xlsx::InlineSheetXml(sheet_, first_style_, false);
    const std::string& prefix = workbook_.prefix;
    std::string element = "<" + prefix + "sheet name=\"";
    AppendXmlEscaped(element, name);
    element += "\" sheetId=\"" + std::to_string(UnusedSheetId(workbook_.sheet_ids)) + "\" ";
    // Declared on the element itself: a workbook may declare its prefix on each <sheet> alone.
    element +=
        "xmlns:r=\"" + std::string(xlsx::kRelationshipsNamespace) + "\" r:id=\"" + id + "\"/>";
    workbook_.edits.push_back(workbook_.sheets.Prepend(element));
    const std::string names = xlsx::SheetDefinedNames(prefix, name, 0, sheet_xml_);
    if (!names.empty() && workbook_.defined_names.found) {
      workbook_.edits.push_back(workbook_.defined_names.Prepend(names));
    } else if (!names.empty()) {
      workbook_.edits.push_back(
          {workbook_.defined_names_at, 0,
           "<" + prefix + "definedNames>" + names + "</" + prefix + "definedNames>"});
    }
    changed_[workbook_member_] = package::ApplyEdits(workbook_text_, std::move(workbook_.edits));
    changed_[rels_member_] = relationships_.Xml();
    changed_[types_member_] = types_.Xml();
    return true;
  }

  // Every member in its place, the changed ones changed, ours after them.
  bool Write(Bytes& out, DocumentError& error) {
    try {
      ZipWriter writer;
      for (const ZipMember& member : copier_.Zip().Members()) {
        if (const auto it = changed_.find(&member); it != changed_.end()) {
          writer.Add(member.name, it->second);
          continue;
        }
        std::string data;
        if (!copier_.Read(member, data, error)) return false;
        writer.Add(member.name, data);
      }
      writer.Add(sheet_part_, sheet_xml_.xml);
      if (!new_styles_.empty()) writer.Add(new_styles_name_, new_styles_);
      out = writer.Finish();
    } catch (const std::length_error&) {
      return Fail(error, DocumentError::kTooLarge);
    } catch (const std::invalid_argument&) {
      return Fail(error, DocumentError::kDamaged);
    }
    return true;
  }

  const XlsxSheet& sheet_;
  const DocumentLimits& limits_;
  Copier copier_;
  std::string main_ = "xl/workbook.xml";
  const ZipMember* workbook_member_ = nullptr;
  std::string workbook_text_;
  WorkbookPart workbook_;
  const ZipMember* rels_member_ = nullptr;
  package::Relationships relationships_;
  const ZipMember* types_member_ = nullptr;
  package::ContentTypes types_;
  int first_style_ = 1;
  std::string new_styles_name_, new_styles_;
  std::string sheet_part_;
  xlsx::SheetXml sheet_xml_;
  std::unordered_map<const ZipMember*, std::string> changed_;  // the parts to change, by member
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
  Bytes copy;
  std::vector<std::string> written;
  if (!SheetAdder(sheet, limits).Add(xlsx, copy, written, error)) return false;
  if (!CopyReadsBack(copy, xlsx, DocumentKind::kXlsx, {written, {}, {}}, limits)) {
    return Fail(error, DocumentError::kCopyUnreadable);
  }
  out = std::move(copy);
  error = DocumentError::kNone;
  return true;
}

}  // namespace kelvaro
