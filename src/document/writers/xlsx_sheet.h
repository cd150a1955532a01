// The pieces of a worksheet of ours that the workbook writer and the sheet adder share: the
// sheet's XML, the styles it refers to, its name and its defined names.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "document/containers/xml_reader.h"
#include "document/writers/xlsx_writer.h"

namespace kelvaro::xlsx {

inline constexpr std::string_view kMainNamespace =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr std::string_view kRelationshipsNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr std::string_view kWorksheetContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
inline constexpr std::string_view kStylesContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";

// What a sheet's cells refer to, appended to a workbook's own: fonts (plain, bold, link),
// the fills of kFillColours, and cell formats (text, header, one per fill, link, number),
// each once as it is and once wrapped.
inline constexpr int kSheetFonts = 3;
inline constexpr int kSheetFills = static_cast<int>(std::size(kFillColours));
inline constexpr int kSheetStyles = 2 * (4 + kSheetFills);

struct StyleParts {
  std::string fonts;  // <font> elements
  std::string fills;  // <fill> elements
  std::string xfs;    // <xf> elements for cellXfs
};
// The styles as they follow `first_font` fonts and `first_fill` fills.
StyleParts SheetStyleParts(int first_font, int first_fill);
// A whole styles part whose sheet styles start at cell format 1.
std::string StylesXml();

struct SheetXml {
  std::string xml;
  std::size_t cells_cut = 0;
  // Absolute, "$A$1:$E$11"; empty when the sheet has no columns.
  std::string range;
};
// `sheet` (XlsxFits) as a worksheet part whose cell formats start at cellXfs index
// `first_style`, its texts as inline strings.
SheetXml InlineSheetXml(const XlsxSheet& sheet, int first_style, bool selected,
                        const XlsxPrintInfo& print = {});

// The name made valid (xlsx_writer.h), then unlike any of `taken` (compared as Excel does,
// without regard to ASCII case): " (2)", " (3)"... within 31 UTF-16 units.
std::string ValidSheetName(const std::string& utf8);
std::string UniqueSheetName(const std::string& valid, const std::vector<std::string>& taken);

// The <definedName> elements the sheet at `index` named `name` needs: its filter's range
// and the header row printed on every page. `prefix` is the main namespace's, with its colon.
std::string SheetDefinedNames(std::string_view prefix, const std::string& name, std::size_t index,
                              const SheetXml& sheet);

}  // namespace kelvaro::xlsx
