// The Result table as an Excel workbook (.xlsx) that Excel, WPS and LibreOffice open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/cell_fill.h"
#include "text/text.h"

namespace kelvaro {

struct XlsxSheet {
  std::string name;                            // UTF-8, e.g. "查询结果"
  std::vector<std::string> header;             // UTF-8, row 1
  std::vector<std::vector<std::string>> rows;  // UTF-8 cell texts, rows 2..
  int fill_column = -1;                        // 0-based column whose cells get row_fills
  std::vector<CellFill> row_fills;             // one per row (may be shorter: kNone)
  // 0-based column whose cells are written as numbers when they read as a whole decimal
  // number (序号), so that they sort 1, 2, ... 10; -1 for none.
  int number_column = -1;
  // 0-based column whose cells link to a place in the workbook ("'设计依据'!C5"), one per row
  // (may be shorter; empty: no link); -1 for none.
  int link_column = -1;
  std::vector<std::string> row_links;
};

// What one sheet of Excel holds. A sheet with more rows or columns is not written at all
// (Excel would refuse the whole file, and a cut table would pass for the whole): a caller
// checks XlsxFits first and says so.
inline constexpr std::size_t kXlsxMaxRows = 1'048'575;  // below the header
inline constexpr std::size_t kXlsxMaxColumns = 16'384;
inline constexpr std::size_t kXlsxMaxCellLength = 32'767;  // UTF-16 units
inline constexpr std::size_t kXlsxMaxSheetNameLength = 31;
inline constexpr double kXlsxMaxColumnWidth = 80;

bool XlsxFits(const XlsxSheet& sheet);

struct XlsxWorkbook {
  Bytes bytes;                // empty when the sheet does not fit (XlsxFits)
  std::size_t cells_cut = 0;  // texts cut at kXlsxMaxCellLength, header cells included
};

// A workbook with one sheet: WriteXlsx of that one sheet below.
XlsxWorkbook WriteXlsx(const XlsxSheet& sheet);
// A workbook of these sheets, in this order, the first active; none when there are none or
// a sheet does not fit. In every sheet the header row is bold and frozen, an autofilter
// covers the table, columns are as wide as their texts (wide characters count two, at most
// kXlsxMaxColumnWidth), and the fill column's cells are coloured by row_fills. It prints
// landscape, fitted to the page's width, its header row repeated on every page. A cell is a
// text, never a date or a formula, and reads back as it was given: characters XML cannot
// hold travel as _xHHHH_, invalid UTF-8 becomes U+FFFD, a text past kXlsxMaxCellLength is cut
// there and counted. Only the number column's whole numbers are numbers; the link column's
// cells with a link are blue and underlined and jump to their place. Sheet names are made
// valid: []:*?/\ and control characters become "_", as does an apostrophe at either end;
// cut to 31 UTF-16 units; "Sheet1" when empty, "History_" for the name Excel keeps for
// itself; then a name met before (in any ASCII case) gets " (2)", " (3)"... within the 31
// units. The same sheets always give the same bytes.
XlsxWorkbook WriteXlsx(const std::vector<XlsxSheet>& sheets);

}  // namespace kelvaro
