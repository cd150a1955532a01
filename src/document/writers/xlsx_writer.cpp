#include "document/writers/xlsx_writer.h"
#include "document/cell_name.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

#include "document/containers/zip_writer.h"
#include "document/writers/xlsx_sheet.h"
#include "text/encoding.h"
#include "text/text.h"

namespace kelvaro::xlsx {

namespace {

constexpr std::string_view kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

constexpr std::string_view kContentTypesStart =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
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

constexpr std::string_view kRelationshipType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// Offsets from a sheet's first cell format (SheetStyleParts). Every cell of the table but a
// number has the text number format (@), so that what a user types into it later stays text
// too.
enum Style : int {
  kTextStyle = 0,
  kHeaderStyle = 1,
  kFirstFillStyle = 2,
  kLinkStyle = kFirstFillStyle + kSheetFills,
  kNumberStyle = kLinkStyle + 1,
  // Added to any of the above: the same, its text wrapped.
  kWrapped = kNumberStyle + 1,
};
static_assert(2 * kWrapped == kSheetStyles);

}  // namespace

StyleParts SheetStyleParts(int first_font, int first_fill) {
  StyleParts parts;
  parts.fonts =
      "<font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
      "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
      "<font><u/><sz val=\"11\"/><color rgb=\"FF0563C1\"/><name val=\"Calibri\"/>"
      "<family val=\"2\"/></font>";
  for (const FillColour& colour : kFillColours) {
    char argb[9];
    std::snprintf(argb, sizeof argb, "FF%06X", static_cast<unsigned>(colour.rgb & 0xFFFFFF));
    parts.fills.append("<fill><patternFill patternType=\"solid\"><fgColor rgb=\"")
        .append(argb)
        .append("\"/><bgColor indexed=\"64\"/></patternFill></fill>");
  }
  const auto xf = [&](int format, int font, int fill, bool wrap) {
    parts.xfs.append("<xf numFmtId=\"")
        .append(std::to_string(format))
        .append("\" fontId=\"")
        .append(std::to_string(first_font + font))
        .append("\" fillId=\"")
        .append(std::to_string(fill < 0 ? 0 : first_fill + fill))
        .append("\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"");
    if (font != 0) parts.xfs += " applyFont=\"1\"";
    if (fill >= 0) parts.xfs += " applyFill=\"1\"";
    // Top-aligned, so that a row made tall by a wrapped text still reads across.
    parts.xfs += wrap ? " applyAlignment=\"1\"><alignment vertical=\"top\" wrapText=\"1\"/></xf>"
                      : " applyAlignment=\"1\"><alignment vertical=\"top\"/></xf>";
  };
  for (const bool wrap : {false, true}) {
    xf(49, 0, -1, wrap);
    xf(49, 1, -1, wrap);
    for (int i = 0; i < kSheetFills; ++i) xf(49, 0, i, wrap);
    xf(49, 2, -1, wrap);
    xf(0, 0, -1, wrap);
  }
  return parts;
}

std::string StylesXml() {
  // Excel expects the first two fills to be none and gray125, and a first cell format of
  // its own, whatever else follows.
  const StyleParts parts = SheetStyleParts(0, 2);
  std::string out(kXmlDeclaration);
  out.append("<styleSheet xmlns=\"").append(kMainNamespace).append("\">");
  out.append("<fonts count=\"").append(std::to_string(kSheetFonts)).append("\">");
  out.append(parts.fonts).append("</fonts>");
  out.append("<fills count=\"").append(std::to_string(2 + kSheetFills)).append("\">");
  out +=
      "<fill><patternFill patternType=\"none\"/></fill>"
      "<fill><patternFill patternType=\"gray125\"/></fill>";
  out.append(parts.fills).append("</fills>");
  out +=
      "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
      "</cellStyleXfs>";
  out.append("<cellXfs count=\"").append(std::to_string(1 + kSheetStyles)).append("\">");
  out += "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
  out.append(parts.xfs).append("</cellXfs>");
  out +=
      "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
      "</styleSheet>";
  return out;
}

namespace {

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

}  // namespace

std::string ValidSheetName(const std::string& utf8) {
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
  if (LowerAscii(name) == "history") name += '_';  // Excel keeps this name for itself
  return name;
}

std::string UniqueSheetName(const std::string& valid, const std::vector<std::string>& taken) {
  const auto is_taken = [&](const std::string& name) {
    const std::string lower = LowerAscii(name);
    return std::any_of(taken.begin(), taken.end(),
                       [&](const std::string& t) { return LowerAscii(t) == lower; });
  };
  if (!is_taken(valid)) return valid;
  for (std::size_t n = 2;; ++n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    // The name's start, cut at a character, so that the suffix fits in Excel's 31 units.
    std::string name;
    std::size_t units = suffix.size();
    for (std::size_t i = 0; i < valid.size();) {
      const std::size_t start = i;
      units += static_cast<std::size_t>(Utf16Units(DecodeUtf8(valid, i)));
      if (units > kXlsxMaxSheetNameLength) break;
      name.append(valid, start, i - start);
    }
    if (!name.empty() && name.back() == '\'') name.back() = '_';
    name += suffix;
    if (!is_taken(name)) return name;
  }
}

std::string SheetDefinedNames(std::string_view prefix, const std::string& name, std::size_t index,
                              const SheetXml& sheet) {
  if (sheet.range.empty()) return {};
  std::string quoted = "'";
  for (const char c : name) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  quoted += "'!";
  const std::string local = std::to_string(index);
  std::string out;
  // Excel keeps an autofilter's range under this name as well and repairs a file without.
  out.append("<").append(prefix).append(
      "definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"");
  out.append(local).append("\" hidden=\"1\">");
  AppendXmlEscaped(out, quoted + sheet.range);
  out.append("</").append(prefix).append("definedName>");
  out.append("<").append(prefix).append("definedName name=\"_xlnm.Print_Titles\" localSheetId=\"");
  out.append(local).append("\">");
  AppendXmlEscaped(out, quoted + "$1:$1");
  out.append("</").append(prefix).append("definedName>");
  return out;
}

namespace {

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

// Digits only, no leading zero but "0" itself, and few enough for a double to hold exactly.
bool IsWholeNumber(const std::string& text) {
  return !text.empty() && text.size() <= 15 && (text[0] != '0' || text.size() == 1) &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A cell's text fit for an attribute: as in the cell, quotes escaped.
std::string AttributeText(const std::string& utf8) {
  PreparedCell cell;
  PrepareCell(utf8, cell);
  std::string out;
  for (const char c : cell.xml) {
    if (c == '"') {
      out += "&quot;";
    } else {
      out += c;
    }
  }
  return out;
}

// Inches, left and right: narrower than Excel's own 0.7, for one more column on a page.
constexpr double kSideMargin = 0.5;
constexpr std::string_view kSideMarginText = "0.5";

// A text for a header or footer: "&" doubled (it starts a field), characters XML cannot hold
// and other controls left out, cut with "…" past `limit` characters: Excel refuses a header
// of more than 255.
void AppendHeaderText(std::string& out, const std::string& utf8, std::size_t limit) {
  std::string text;
  std::size_t length = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t start = i;
    const char32_t c = DecodeUtf8(utf8, i);
    if (c < 0x20 || c == 0x7F || XmlCannotHold(c)) continue;
    length += c == '&' ? 2 : 1;
    if (length > limit) {
      text += "…";
      break;
    }
    if (c == '&') text += '&';
    text.append(utf8, start, i - start);
  }
  AppendXmlEscaped(out, text);
}

// The document and the check's date above, the site and the page below.
void AppendHeaderFooter(std::string& out, const XlsxPrintInfo& print) {
  constexpr std::size_t kLimit = 100;
  std::string header;
  if (!print.document.empty()) {
    header += "&amp;L";
    AppendHeaderText(header, print.document, kLimit);
  }
  if (!print.date.empty()) {
    header += "&amp;R核查日期 ";
    AppendHeaderText(header, print.date, kLimit);
  }
  out += "<headerFooter>";
  if (!header.empty()) out.append("<oddHeader>").append(header).append("</oddHeader>");
  out += "<oddFooter>";
  if (!print.site.empty()) {
    out += "&amp;L查询网站 ";
    AppendHeaderText(out, print.site, kLimit);
  }
  out += "&amp;R第 &amp;P 页 共 &amp;N 页</oddFooter></headerFooter>";
}

class SheetBuilder {
 public:
  // `sheet` fits (XlsxFits). Without `strings`, texts are written inline.
  SheetBuilder(const XlsxSheet& sheet, SharedStrings* strings, int first_style, bool selected,
               const XlsxPrintInfo& print)
      : sheet_(sheet),
        print_(print),
        strings_(strings),
        first_style_(first_style),
        selected_(selected),
        rows_(sheet.rows.size()) {
    columns_ = sheet.header.size();
    for (const auto& row : sheet.rows) columns_ = std::max(columns_, row.size());
    const auto column = [&](int c) {
      return c >= 0 && static_cast<std::size_t>(c) < columns_ ? static_cast<std::size_t>(c)
                                                              : kNoColumn;
    };
    fill_column_ = column(sheet.fill_column);
    number_column_ = column(sheet.number_column);
    link_column_ = column(sheet.link_column);
    names_.reserve(columns_);
    for (std::size_t c = 0; c < columns_; ++c) {
      names_.push_back(ColumnName(static_cast<std::uint32_t>(c + 1)));
    }
    widths_.assign(columns_, 0);
  }

  std::string Xml() {
    std::string data;
    data.reserve(rows_ * columns_ * 24 + 64);
    AppendRow(data, sheet_.header, 0, kHeaderStyle, nullptr);
    for (std::size_t r = 0; r < rows_; ++r) {
      int style = kTextStyle;
      if (r < sheet_.row_fills.size()) style = FillStyle(sheet_.row_fills[r]);
      const std::string* link = r < sheet_.row_links.size() && !sheet_.row_links[r].empty()
                                    ? &sheet_.row_links[r]
                                    : nullptr;
      AppendRow(data, sheet_.rows[r], r + 1, style, link);
    }

    std::string out(kXmlDeclaration);
    out.reserve(data.size() + hyperlinks_.size() + 1024);
    out.append("<worksheet xmlns=\"")
        .append(kMainNamespace)
        .append("\" xmlns:r=\"")
        .append(kRelationshipsNamespace)
        .append("\">");
    const PageLayout page = Layout();
    if (page.fit) out += "<sheetPr><pageSetUpPr fitToPage=\"1\"/></sheetPr>";
    out.append("<dimension ref=\"").append(columns_ == 0 ? "A1" : Range(false)).append("\"/>");
    out += selected_ ? "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\">"
                     : "<sheetViews><sheetView workbookViewId=\"0\">";
    out +=
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
        AppendNumber(out, static_cast<std::size_t>(ColumnWidth(c)));
        out += "\" customWidth=\"1\"/>";
      }
      out += "</cols>";
    }
    out.append("<sheetData>").append(data).append("</sheetData>");
    if (columns_ > 0) out.append("<autoFilter ref=\"").append(Range(false)).append("\"/>");
    if (!hyperlinks_.empty())
      out.append("<hyperlinks>").append(hyperlinks_).append("</hyperlinks>");
    out += "<pageMargins left=\"";
    out += kSideMarginText;
    out += "\" right=\"";
    out += kSideMarginText;
    out += "\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>";
    out += "<pageSetup paperSize=\"9\"";
    if (!page.fit) {
      out += " scale=\"";
      AppendNumber(out, static_cast<std::size_t>(kXlsxMinPrintScale));
      out += "\"";
    }
    out += page.landscape ? " orientation=\"landscape\"" : " orientation=\"portrait\"";
    if (page.fit) out += " fitToWidth=\"1\" fitToHeight=\"0\"";
    out += "/>";
    AppendHeaderFooter(out, print_);
    out += "</worksheet>";
    return out;
  }

  std::size_t CellsCut() const { return cells_cut_; }

  // A1:E11, or $A$1:$E$11; empty without columns.
  std::string Range(bool absolute) const {
    if (columns_ == 0) return {};
    const char* dollar = absolute ? "$" : "";
    std::string out;
    out.append(dollar).append("A").append(dollar).append("1:");
    out.append(dollar).append(names_.back()).append(dollar);
    AppendNumber(out, rows_ + 1);
    return out;
  }

 private:
  static constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

  struct PageLayout {
    bool landscape = false;
    bool fit = true;  // to the page's width; else at kXlsxMinPrintScale
  };

  // Two digits of margin; the header's filter button takes two more (in widths_).
  int ColumnWidth(std::size_t c) const {
    return std::min(widths_[c] + 2, static_cast<int>(kXlsxMaxColumnWidth));
  }

  // A text this wide (the header's counting its button) wraps in a column of at most
  // kXlsxMaxColumnWidth.
  static bool Wraps(int width) { return width + 2 > static_cast<int>(kXlsxMaxColumnWidth); }

  PageLayout Layout() const {
    // A column of width w is 7w + 5 pixels of the default font at 96 per inch, as Excel
    // prints it at 100%.
    double inches = 0;
    for (std::size_t c = 0; c < columns_; ++c) inches += (7.0 * ColumnWidth(c) + 5) / 96;
    constexpr double kA4Short = 210 / 25.4;
    constexpr double kA4Long = 297 / 25.4;
    constexpr double margins = 2 * kSideMargin;
    if (inches <= kA4Short - margins) return {false, true};
    const double scale = 100 * (kA4Long - margins) / inches;
    return {true, scale >= kXlsxMinPrintScale};
  }

  static int FillStyle(CellFill fill) {
    for (std::size_t i = 0; i < std::size(kFillColours); ++i) {
      if (kFillColours[i].fill == fill) return kFirstFillStyle + static_cast<int>(i);
    }
    return kTextStyle;
  }

  void AppendRow(std::string& out, const std::vector<std::string>& cells, std::size_t index,
                 int fill_style, const std::string* link) {
    const std::string row_number = std::to_string(index + 1);
    out.append("<row r=\"").append(row_number).append("\">");
    const std::size_t count = std::min(cells.size(), columns_);
    const bool header = index == 0;
    const std::size_t last = fill_column_ == kNoColumn ? count : std::max(count, fill_column_ + 1);
    for (std::size_t c = 0; c < last && c < columns_; ++c) {
      const bool has_text = c < count && !cells[c].empty();
      int style = kTextStyle;
      if (header) {
        style = kHeaderStyle;
      } else if (c == fill_column_) {
        style = fill_style;
      } else if (has_text && c == link_column_ && link != nullptr) {
        style = kLinkStyle;
      } else if (has_text && c == number_column_ && IsWholeNumber(cells[c])) {
        style = kNumberStyle;
      }
      if (!has_text && style == kTextStyle) continue;
      if (has_text) {
        PrepareCell(cells[c], cell_);
        if (cell_.cut) ++cells_cut_;
        const int width = cell_.width + (header ? 2 : 0);
        widths_[c] = std::max(widths_[c], width);
        if (Wraps(width)) style += kWrapped;
      }
      out.append("<c r=\"").append(names_[c]).append(row_number).append("\" s=\"");
      AppendNumber(out, static_cast<std::size_t>(first_style_ + style));
      if (!has_text) {
        out += "\"/>";
        continue;
      }
      if (!header && c == link_column_ && link != nullptr) {
        hyperlinks_.append("<hyperlink ref=\"").append(names_[c]).append(row_number);
        hyperlinks_.append("\" location=\"").append(AttributeText(*link));
        hyperlinks_.append("\" display=\"").append(AttributeText(cells[c])).append("\"/>");
      }
      if (!header && c == number_column_ && IsWholeNumber(cells[c])) {
        out.append("\"><v>").append(cells[c]).append("</v></c>");
      } else if (strings_ != nullptr) {
        out += "\" t=\"s\"><v>";
        AppendNumber(out, strings_->Add(cell_));
        out += "</v></c>";
      } else {
        out += cell_.preserve ? "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">"
                              : "\" t=\"inlineStr\"><is><t>";
        out.append(cell_.xml).append("</t></is></c>");
      }
    }
    out += "</row>";
  }

  const XlsxSheet& sheet_;
  const XlsxPrintInfo& print_;
  SharedStrings* strings_;
  int first_style_;
  bool selected_;
  std::size_t columns_ = 0;
  std::size_t rows_ = 0;
  std::size_t fill_column_ = kNoColumn;
  std::size_t number_column_ = kNoColumn;
  std::size_t link_column_ = kNoColumn;
  std::vector<std::string> names_;
  std::vector<int> widths_;
  std::string hyperlinks_;
  PreparedCell cell_;
  std::size_t cells_cut_ = 0;
};

}  // namespace

SheetXml InlineSheetXml(const XlsxSheet& sheet, int first_style, bool selected,
                        const XlsxPrintInfo& print) {
  SheetBuilder builder(sheet, nullptr, first_style, selected, print);
  SheetXml out;
  out.xml = builder.Xml();
  out.cells_cut = builder.CellsCut();
  out.range = builder.Range(true);
  return out;
}

}  // namespace kelvaro::xlsx

namespace kelvaro {

bool XlsxFits(const XlsxSheet& sheet) {
  if (sheet.rows.size() > kXlsxMaxRows || sheet.header.size() > kXlsxMaxColumns) return false;
  return std::all_of(sheet.rows.begin(), sheet.rows.end(),
                     [](const auto& row) { return row.size() <= kXlsxMaxColumns; });
}

XlsxWorkbook WriteXlsx(const XlsxSheet& sheet, const XlsxPrintInfo& print) {
  return WriteXlsx(std::vector<XlsxSheet>{sheet}, print);
}

namespace {

// The sheets of a workbook written, each with its name made unique, and what the workbook
// part says of them.
struct WrittenSheets {
  std::vector<std::string> parts;
  std::string elements;       // <sheet> elements
  std::string defined_names;  // <definedName> elements
  std::size_t cells_cut = 0;
};

WrittenSheets WriteSheets(const std::vector<XlsxSheet>& sheets, const XlsxPrintInfo& print,
                          xlsx::SharedStrings& strings) {
  WrittenSheets out;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    xlsx::SheetBuilder builder(sheets[i], &strings, 1, i == 0, print);
    xlsx::SheetXml sheet{builder.Xml(), builder.CellsCut(), builder.Range(true)};
    out.cells_cut += sheet.cells_cut;
    names.push_back(xlsx::UniqueSheetName(xlsx::ValidSheetName(sheets[i].name), names));
    const std::string n = std::to_string(i + 1);
    out.elements += "<sheet name=\"";
    AppendXmlEscaped(out.elements, names.back());
    out.elements += "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    out.defined_names += xlsx::SheetDefinedNames("", names.back(), i, sheet);
    out.parts.push_back(std::move(sheet.xml));
  }
  return out;
}

// The content types and the workbook's relationships: sheet N is rIdN, then the styles and
// the shared strings.
void WritePackageParts(std::size_t sheets, bool shared, std::string& content_types,
                       std::string& workbook_rels) {
  using namespace xlsx;
  const std::string styles_id = "rId" + std::to_string(sheets + 1);
  const std::string strings_id = "rId" + std::to_string(sheets + 2);
  content_types = std::string(kXmlDeclaration).append(kContentTypesStart);
  workbook_rels = std::string(kXmlDeclaration);
  workbook_rels +=
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  for (std::size_t i = 0; i < sheets; ++i) {
    const std::string n = std::to_string(i + 1);
    content_types.append("<Override PartName=\"/xl/worksheets/sheet" + n + ".xml\" ContentType=\"")
        .append(kWorksheetContentType)
        .append("\"/>");
    workbook_rels.append("<Relationship Id=\"rId" + n + "\" Type=\"")
        .append(kRelationshipType)
        .append("worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>");
  }
  content_types.append("<Override PartName=\"/xl/styles.xml\" ContentType=\"")
      .append(kStylesContentType)
      .append("\"/>");
  workbook_rels.append("<Relationship Id=\"" + styles_id + "\" Type=\"")
      .append(kRelationshipType)
      .append("styles\" Target=\"styles.xml\"/>");
  if (shared) {
    content_types += kContentTypeSharedStrings;
    workbook_rels.append("<Relationship Id=\"" + strings_id + "\" Type=\"")
        .append(kRelationshipType)
        .append("sharedStrings\" Target=\"sharedStrings.xml\"/>");
  }
  content_types += "</Types>";
  workbook_rels += "</Relationships>";
}

std::string WorkbookXml(const WrittenSheets& sheets) {
  using namespace xlsx;
  std::string workbook(kXmlDeclaration);
  workbook.append("<workbook xmlns=\"")
      .append(kMainNamespace)
      .append("\" xmlns:r=\"")
      .append(kRelationshipsNamespace)
      .append("\">");
  workbook += "<bookViews><workbookView activeTab=\"0\"/></bookViews>";
  workbook.append("<sheets>").append(sheets.elements).append("</sheets>");
  if (!sheets.defined_names.empty()) {
    workbook.append("<definedNames>").append(sheets.defined_names).append("</definedNames>");
  }
  workbook += "</workbook>";
  return workbook;
}

}  // namespace

XlsxWorkbook WriteXlsx(const std::vector<XlsxSheet>& sheets, const XlsxPrintInfo& print) {
  using namespace xlsx;
  if (sheets.empty() || !std::all_of(sheets.begin(), sheets.end(), XlsxFits)) return {};
  std::size_t expected = 0;
  for (const XlsxSheet& sheet : sheets) expected += sheet.rows.size() * 4 + sheet.header.size();
  SharedStrings strings(expected);
  const WrittenSheets written = WriteSheets(sheets, print, strings);
  const bool shared = !strings.Empty();
  std::string content_types, workbook_rels;
  WritePackageParts(sheets.size(), shared, content_types, workbook_rels);
  try {
    ZipWriter zip;
    zip.Add("[Content_Types].xml", content_types);
    zip.Add("_rels/.rels", std::string(kXmlDeclaration).append(kPackageRelationships));
    zip.Add("xl/workbook.xml", WorkbookXml(written));
    zip.Add("xl/_rels/workbook.xml.rels", workbook_rels);
    for (std::size_t i = 0; i < written.parts.size(); ++i) {
      zip.Add("xl/worksheets/sheet" + std::to_string(i + 1) + ".xml", written.parts[i]);
    }
    static const std::string styles = StylesXml();
    zip.Add("xl/styles.xml", styles);
    if (shared) zip.Add("xl/sharedStrings.xml", strings.Xml());
    return {zip.Finish(), written.cells_cut};
  } catch (const std::length_error&) {
    return {};  // past what a zip without zip64 holds
  }
}

}  // namespace kelvaro
