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
// A wider text wraps within the column, so that a page prints at a readable scale.
inline constexpr double kXlsxMaxColumnWidth = 40;
// Below this a printed page is too small to read: a wider table runs on to more pages.
inline constexpr int kXlsxMinPrintScale = 70;

bool XlsxFits(const XlsxSheet& sheet);

// What every printed page says of the check, in its header and footer; UTF-8.
struct XlsxPrintInfo {
  std::string document;  // the file the rows came from, its name only; empty: none
  std::string date;      // the check's date, "2026-12-11"; empty: none
  std::string site;      // the site's address; empty: none
};

struct XlsxWorkbook {
  Bytes bytes;                // empty when the sheet does not fit (XlsxFits)
  std::size_t cells_cut = 0;  // texts cut at kXlsxMaxCellLength, header cells included
};

// A workbook with one sheet: WriteXlsx of that one sheet below.
XlsxWorkbook WriteXlsx(const XlsxSheet& sheet, const XlsxPrintInfo& print = {});
// A workbook of these sheets, in this order, the first active; none when there are none or
// a sheet does not fit. In every sheet the header row is bold and frozen, an autofilter
// covers the table, columns are as wide as their texts (wide characters count two, at most
// kXlsxMaxColumnWidth, a wider text wrapped), and the fill column's cells are coloured by
// row_fills. It prints on A4, its header row repeated on every page: upright when the table
// fits the page's width, else across, fitted to the width when that keeps kXlsxMinPrintScale,
// else at that scale on more pages; each page's header names `print`'s document and date, its
// footer the site and "第 N 页 共 M 页". A cell is a
// text, never a date or a formula, and reads back as it was given: characters XML cannot
// hold travel as _xHHHH_, invalid UTF-8 becomes U+FFFD, a text past kXlsxMaxCellLength is cut
// there and counted. Only the number column's whole numbers are numbers; the link column's
// cells with a link are blue and underlined and jump to their place. Sheet names are made
// valid: []:*?/\ and control characters become "_", as does an apostrophe at either end;
// cut to 31 UTF-16 units; "Sheet1" when empty, "History_" for the name Excel keeps for
// itself; then a name met before (in any ASCII case) gets " (2)", " (3)"... within the 31
// units. The same sheets always give the same bytes.
XlsxWorkbook WriteXlsx(const std::vector<XlsxSheet>& sheets, const XlsxPrintInfo& print = {});

}  // namespace kelvaro
