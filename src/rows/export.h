// The Result table as the command line and the window hand it on: CSV, tab-separated text and
// an Excel workbook, written the same way by both, and a row's source in words.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "document/writers/xlsx_writer.h"
#include "rows/columns.h"
#include "rows/row_store.h"

namespace kelvaro {

// The Excel export's sheet.
inline constexpr char kExportSheetName[] = "查询结果";

// Where a row came from, in words ("第 3 行", "表 1 第 2 行第 3 列"), every place its citation
// stands joined by "；" ("第 3 段；表 2 第 6 行第 3 列"), each once; empty for none.
std::string SourceWhere(const RowStore::Row& row);
// The same places, one string each.
std::vector<std::string> SourcePlaces(const RowStore::Row& row);
// The citation the row looks up, as written with its title; empty for none.
std::string SourceWritten(const RowStore::Row& row);
// A title (UTF-8) without its edition note: the site writes "建筑给水排水设计规范（2009年版）".
std::string WithoutEdition(const std::string& title);
// Whether two titles (UTF-8) are one: spaces, punctuation, character width and an edition
// note aside.
bool SameTitle(const std::string& a, const std::string& b);
// "题名不符：引用《…》，网站为《…》"; with `places` (UTF-8, "第 5 段、第 9 段") before 引用 when
// the row stands in several places and only some miscite.
std::string TitleMismatchWords(const std::string& places, const std::string& cited,
                               const std::string& site);
// A row the site lists as current whose citation names another title than the site's
// (RowNotes::title_matches false): a line per title cited otherwise, naming its places when
// the row stands in more than one. Empty when every place's title is the site's.
std::vector<std::string> TitleMismatchLines(const RowStore::Row& row);
// Rows from pasted text or a document, whose source the exports then carry.
bool AnyFromDocument(const std::vector<RowStore::Row>& rows);

// One CSV field: a leading apostrophe when it starts with = + - or @ (a spreadsheet would
// run it as a formula), then quoted (inner quotes doubled) when it holds a comma, quote,
// CR or LF.
std::string CsvField(const std::string& utf8);

// One TSV cell: tab, CR, LF and backslash written as \t \r \n \\, other control
// characters (C0, DEL, C1) as \xNN, so that none reaches a terminal.
std::string TsvCell(const std::string& utf8);

// A row as one line of tab-separated cells (UTF-8, no line end); a tab or line break
// inside a cell becomes a space, so that a spreadsheet keeps the columns. The extras follow
// the shown cells.
std::string PlainTextRow(const RowStore::Row& row, TableExtras extras = {});
// The header and every row, each line ended by `line_end`.
std::string PlainTextTable(const std::vector<RowStore::Row>& rows, const char* line_end = "\n",
                           TableExtras extras = {});

// UTF-8 byte-order mark, header record, one record per row; CR LF record ends; the extras
// after the shown columns.
std::string FormatCsv(const std::vector<RowStore::Row>& rows, TableExtras extras = {});

// The sheet 查询结果 of the workbook's columns, the status cell filled by its word, 序号
// written as numbers.
XlsxSheet ExportSheet(const std::vector<RowStore::Row>& rows);
// A workbook of ExportSheet alone. No workbook for more rows than a sheet holds
// (kXlsxMaxRows); the cells cut at Excel's length are counted.
XlsxWorkbook FormatXlsx(const std::vector<RowStore::Row>& rows);

}  // namespace kelvaro
