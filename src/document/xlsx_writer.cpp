#include "document/xlsx_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string_view>
#include <unordered_map>

#include "document/zip_writer.h"
#include "text/encoding.h"

namespace kelvaro {

namespace {

constexpr std::string_view kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNamespace =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelationshipsNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

constexpr std::string_view kContentTypesStart =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
constexpr std::string_view kContentTypeSharedStrings =
    "<Override PartName=\"/xl/sharedStrings.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/"
    ">";

constexpr std::string_view kPackageRelationships =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/>"
    "</Relationships>";

constexpr std::string_view kWorkbookRelationshipsStart =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>";
constexpr std::string_view kWorkbookRelationshipSharedStrings =
    "<Relationship Id=\"rId3\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
    "Target=\"sharedStrings.xml\"/>";

// Indexes into cellXfs below. Every cell of the table has the text number format (@), so
// that what a user types into it later stays text too. The fills' styles follow, one per
// entry of kFillColours.
enum Style : int { kTextStyle = 1, kHeaderStyle = 2, kFirstFillStyle = 3 };

std::string StylesXml() {
  const std::size_t fills = std::size(kFillColours);
  std::string out =
      "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
      "<fonts count=\"2\">"
      "<font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
      "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
      "</fonts>";
  // Excel expects the first two fills to be none and gray125, whatever else follows.
  out.append("<fills count=\"").append(std::to_string(2 + fills)).append("\">");
  out +=
      "<fill><patternFill patternType=\"none\"/></fill>"
      "<fill><patternFill patternType=\"gray125\"/></fill>";
  for (const FillColour& colour : kFillColours) {
    char argb[9];
    std::snprintf(argb, sizeof argb, "FF%06X", static_cast<unsigned>(colour.rgb & 0xFFFFFF));
    out.append("<fill><patternFill patternType=\"solid\"><fgColor rgb=\"")
        .append(argb)
        .append("\"/><bgColor indexed=\"64\"/></patternFill></fill>");
  }
  out +=
      "</fills>"
      "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
      "</cellStyleXfs>";
  out.append("<cellXfs count=\"").append(std::to_string(kFirstFillStyle + fills)).append("\">");
  out +=
      "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
      "<xf numFmtId=\"49\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
      "applyNumberFormat=\"1\"/>"
      "<xf numFmtId=\"49\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
      "applyNumberFormat=\"1\" applyFont=\"1\"/>";
  for (std::size_t i = 0; i < fills; ++i) {
    out.append("<xf numFmtId=\"49\" fontId=\"0\" fillId=\"")
        .append(std::to_string(2 + i))
        .append("\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\" applyFill=\"1\"/>");
  }
  out +=
      "</cellXfs>"
      "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
      "</styleSheet>";
  return out;
}

constexpr char32_t kReplacement = 0xFFFD;

// East Asian wide and full-width ranges: the characters a spreadsheet draws about two
// digits wide.
bool IsWide(char32_t c) {
  struct Range {
    char32_t first;
    char32_t last;
  };
  static constexpr Range kWide[] = {
      {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
      {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},
      {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},
      {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD},
      {0x30000, 0x3FFFD},
  };
  if (c < 0x1100) return false;
  for (const Range& range : kWide) {
    if (c < range.first) return false;
    if (c <= range.last) return true;
  }
  return false;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "_xHHHH_" starting at `i`: the form Excel would read as one escaped character.
bool LooksLikeEscape(std::string_view s, std::size_t i) {
  if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') return false;
  for (std::size_t k = i + 2; k < i + 6; ++k) {
    if (!IsHexDigit(s[k])) return false;
  }
  return true;
}

bool XmlCannotHold(char32_t c) {
  return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF;
}

void AppendEscapeOf(std::string& out, char32_t c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "_x";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
  out += '_';
}

int Utf16Units(char32_t c) { return c >= 0x10000 ? 2 : 1; }

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// One cell, ready for the shared string table.
struct PreparedCell {
  std::string xml;  // element content
  int width = 0;    // of its longest line
  bool preserve = false;
  bool cut = false;  // past kXlsxMaxCellLength
};

// Cuts, replaces, escapes and measures in one pass: this runs once per cell.
void PrepareCell(const std::string& utf8, PreparedCell& cell) {
  cell.xml.clear();
  cell.width = 0;
  cell.cut = false;
  int line_width = 0;
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t start = i;
    const char32_t c = DecodeUtf8(utf8, i);
    units += static_cast<std::size_t>(Utf16Units(c));
    if (units > kXlsxMaxCellLength) {
      cell.cut = true;
      break;
    }
    if (c == '\n') {
      cell.width = std::max(cell.width, line_width);
      line_width = 0;
    } else if (c >= 0x20 && c != 0x7F) {
      line_width += IsWide(c) ? 2 : 1;
    } else if (c == '\t') {
      line_width += 1;
    }
    switch (c) {
      case '&':
        cell.xml += "&amp;";
        continue;
      case '<':
        cell.xml += "&lt;";
        continue;
      case '>':
        cell.xml += "&gt;";
        continue;
      case '\r':
        // A literal CR would reach the reader as LF (XML's line-end rule).
        cell.xml += "&#13;";
        continue;
      case '_':
        cell.xml += LooksLikeEscape(utf8, start) ? "_x005F_" : "_";
        continue;
      default:
        break;
    }
    if (XmlCannotHold(c)) {
      AppendEscapeOf(cell.xml, c);
    } else if (c == kReplacement) {
      AppendUtf8(cell.xml, kReplacement);  // maybe in place of invalid bytes
    } else {
      cell.xml.append(utf8, start, i - start);
    }
  }
  cell.width = std::max(cell.width, line_width);
  const std::string& x = cell.xml;
  cell.preserve =
      !x.empty() && (IsXmlSpace(x.front()) || IsXmlSpace(x.back()) ||
                     x.find_first_of("\t\n") != std::string::npos ||
                     x.find("&#13;") != std::string::npos || x.find("  ") != std::string::npos);
}

void AppendXmlAttribute(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

std::string SheetName(const std::string& utf8) {
  std::string name;
  std::size_t units = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t start = i;
    const char32_t c = DecodeUtf8(utf8, i);
    units += static_cast<std::size_t>(Utf16Units(c));
    if (units > kXlsxMaxSheetNameLength) break;
    if (std::u32string_view(U"[]:*?/\\").find(c) != std::u32string_view::npos || c < 0x20 ||
        XmlCannotHold(c)) {
      name += '_';
    } else if (c == kReplacement) {
      AppendUtf8(name, kReplacement);
    } else {
      name.append(utf8, start, i - start);
    }
  }
  if (name.empty()) return "Sheet1";
  if (name.front() == '\'') name.front() = '_';
  if (name.back() == '\'') name.back() = '_';
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  if (lower == "history") name += '_';  // Excel keeps this name for itself
  return name;
}

std::string ColumnName(std::size_t column) {
  std::string name;
  for (std::size_t n = column + 1; n > 0; n = (n - 1) / 26) {
    name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return name;
}

void AppendNumber(std::string& out, std::size_t n) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
  out.append(buffer, result.ptr);
}

// The shared string table: each distinct text once, cells refer to it by index.
class SharedStrings {
 public:
  explicit SharedStrings(std::size_t expected) { index_.reserve(expected); }

  std::size_t Add(const PreparedCell& cell) {
    ++references_;
    const auto [it, added] = index_.try_emplace(cell.xml, index_.size());
    if (added) {
      xml_ += cell.preserve ? "<si><t xml:space=\"preserve\">" : "<si><t>";
      xml_ += cell.xml;
      xml_ += "</t></si>";
    }
    return it->second;
  }

  bool Empty() const { return index_.empty(); }

  std::string Xml() const {
    std::string out(kXmlDeclaration);
    out.append("<sst xmlns=\"").append(kMainNamespace).append("\" count=\"");
    AppendNumber(out, references_);
    out += "\" uniqueCount=\"";
    AppendNumber(out, index_.size());
    out.append("\">").append(xml_).append("</sst>");
    return out;
  }

 private:
  std::unordered_map<std::string, std::size_t> index_;
  std::string xml_;
  std::size_t references_ = 0;
};

int FillStyle(CellFill fill) {
  for (std::size_t i = 0; i < std::size(kFillColours); ++i) {
    if (kFillColours[i].fill == fill) return kFirstFillStyle + static_cast<int>(i);
  }
  return kTextStyle;
}

class SheetBuilder {
 public:
  // `sheet` fits (XlsxFits).
  SheetBuilder(const XlsxSheet& sheet, SharedStrings& strings)
      : sheet_(sheet), strings_(strings), rows_(sheet.rows.size()) {
    columns_ = sheet.header.size();
    for (const auto& row : sheet.rows) columns_ = std::max(columns_, row.size());
    if (sheet.fill_column >= 0 && static_cast<std::size_t>(sheet.fill_column) < columns_) {
      fill_column_ = static_cast<std::size_t>(sheet.fill_column);
    }
    names_.reserve(columns_);
    for (std::size_t c = 0; c < columns_; ++c) names_.push_back(ColumnName(c));
    widths_.assign(columns_, 0);
  }

  std::string Xml() {
    std::string data;
    data.reserve(rows_ * columns_ * 24 + 64);
    AppendRow(data, sheet_.header, 0, kHeaderStyle);
    for (std::size_t r = 0; r < rows_; ++r) {
      int style = kTextStyle;
      if (r < sheet_.row_fills.size()) style = FillStyle(sheet_.row_fills[r]);
      AppendRow(data, sheet_.rows[r], r + 1, style);
    }

    std::string out(kXmlDeclaration);
    out.reserve(data.size() + 1024);
    out.append("<worksheet xmlns=\"")
        .append(kMainNamespace)
        .append("\" xmlns:r=\"")
        .append(kRelationshipsNamespace)
        .append("\">");
    out.append("<dimension ref=\"").append(columns_ == 0 ? "A1" : Range(false)).append("\"/>");
    out +=
        "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\">"
        "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
        "<selection pane=\"bottomLeft\" activeCell=\"A2\" sqref=\"A2\"/>"
        "</sheetView></sheetViews>"
        "<sheetFormatPr defaultRowHeight=\"15\"/>";
    if (columns_ > 0) {
      out += "<cols>";
      for (std::size_t c = 0; c < columns_; ++c) {
        out += "<col min=\"";
        AppendNumber(out, c + 1);
        out += "\" max=\"";
        AppendNumber(out, c + 1);
        out += "\" width=\"";
        // Two digits of margin; the header's filter button takes two more.
        AppendNumber(out, static_cast<std::size_t>(std::min<int>(
                              widths_[c] + 2, static_cast<int>(kXlsxMaxColumnWidth))));
        out += "\" customWidth=\"1\"/>";
      }
      out += "</cols>";
    }
    out.append("<sheetData>").append(data).append("</sheetData>");
    if (columns_ > 0) out.append("<autoFilter ref=\"").append(Range(false)).append("\"/>");
    out +=
        "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
        "footer=\"0.3\"/></worksheet>";
    return out;
  }

  bool HasTable() const { return columns_ > 0; }
  std::size_t CellsCut() const { return cells_cut_; }

  // A1:E11, or $A$1:$E$11.
  std::string Range(bool absolute) const {
    const char* dollar = absolute ? "$" : "";
    std::string out;
    out.append(dollar).append("A").append(dollar).append("1:");
    out.append(dollar).append(names_.back()).append(dollar);
    AppendNumber(out, rows_ + 1);
    return out;
  }

 private:
  void AppendRow(std::string& out, const std::vector<std::string>& cells, std::size_t index,
                 int fill_style) {
    const std::string row_number = std::to_string(index + 1);
    out.append("<row r=\"").append(row_number).append("\">");
    const std::size_t count = std::min(cells.size(), columns_);
    const bool header = index == 0;
    for (std::size_t c = 0; c < std::max(count, fill_column_ + 1) && c < columns_; ++c) {
      const int style = header ? kHeaderStyle : c == fill_column_ ? fill_style : kTextStyle;
      const bool has_text = c < count && !cells[c].empty();
      if (!has_text && style == kTextStyle) continue;
      out.append("<c r=\"").append(names_[c]).append(row_number).append("\" s=\"");
      AppendNumber(out, static_cast<std::size_t>(style));
      if (!has_text) {
        out += "\"/>";
        continue;
      }
      PrepareCell(cells[c], cell_);
      if (cell_.cut) ++cells_cut_;
      widths_[c] = std::max(widths_[c], cell_.width + (header ? 2 : 0));
      out += "\" t=\"s\"><v>";
      AppendNumber(out, strings_.Add(cell_));
      out += "</v></c>";
    }
    out += "</row>";
  }

  const XlsxSheet& sheet_;
  SharedStrings& strings_;
  std::size_t columns_ = 0;
  std::size_t rows_ = 0;
  std::size_t fill_column_ = static_cast<std::size_t>(-1);
  std::vector<std::string> names_;
  std::vector<int> widths_;
  PreparedCell cell_;
  std::size_t cells_cut_ = 0;
};

std::string WorkbookXml(const std::string& sheet_name, const SheetBuilder& sheet) {
  std::string out(kXmlDeclaration);
  out.append("<workbook xmlns=\"")
      .append(kMainNamespace)
      .append("\" xmlns:r=\"")
      .append(kRelationshipsNamespace)
      .append("\">");
  out += "<bookViews><workbookView activeTab=\"0\"/></bookViews>";
  out += "<sheets><sheet name=\"";
  AppendXmlAttribute(out, sheet_name);
  out += "\" sheetId=\"1\" r:id=\"rId1\"/></sheets>";
  if (sheet.HasTable()) {
    // Excel keeps an autofilter's range under this name as well and repairs a file without.
    std::string quoted = "'";
    for (const char c : sheet_name) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    quoted += "'!" + sheet.Range(true);
    out +=
        "<definedNames><definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"0\" "
        "hidden=\"1\">";
    AppendXmlAttribute(out, quoted);
    out += "</definedName></definedNames>";
  }
  out += "</workbook>";
  return out;
}

}  // namespace

bool XlsxFits(const XlsxSheet& sheet) {
  if (sheet.rows.size() > kXlsxMaxRows || sheet.header.size() > kXlsxMaxColumns) return false;
  return std::all_of(sheet.rows.begin(), sheet.rows.end(),
                     [](const auto& row) { return row.size() <= kXlsxMaxColumns; });
}

XlsxWorkbook WriteXlsx(const XlsxSheet& sheet) {
  if (!XlsxFits(sheet)) return {};
  SharedStrings strings(sheet.rows.size() * 4 + sheet.header.size());
  SheetBuilder builder(sheet, strings);
  const std::string sheet_xml = builder.Xml();
  const bool shared = !strings.Empty();

  std::string content_types(kXmlDeclaration);
  content_types += kContentTypesStart;
  if (shared) content_types += kContentTypeSharedStrings;
  content_types += "</Types>";

  std::string workbook_rels(kXmlDeclaration);
  workbook_rels += kWorkbookRelationshipsStart;
  if (shared) workbook_rels += kWorkbookRelationshipSharedStrings;
  workbook_rels += "</Relationships>";

  ZipWriter zip;
  zip.Add("[Content_Types].xml", content_types);
  zip.Add("_rels/.rels", std::string(kXmlDeclaration).append(kPackageRelationships));
  zip.Add("xl/workbook.xml", WorkbookXml(SheetName(sheet.name), builder));
  zip.Add("xl/_rels/workbook.xml.rels", workbook_rels);
  zip.Add("xl/worksheets/sheet1.xml", sheet_xml);
  static const std::string styles = StylesXml();
  zip.Add("xl/styles.xml", std::string(kXmlDeclaration).append(styles));
  if (shared) zip.Add("xl/sharedStrings.xml", strings.Xml());
  return {zip.Finish(), builder.CellsCut()};
}

std::optional<std::uint32_t> FillRgb(CellFill fill) {
  for (const FillColour& colour : kFillColours) {
    if (colour.fill == fill) return colour.rgb;
  }
  return std::nullopt;
}

}  // namespace kelvaro
