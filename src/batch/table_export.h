// The Result table as a CSV file, written the same way by the command line and the window.
#pragma once

#include <string>
#include <vector>

#include "batch/row_store.h"

namespace kelvaro {

// The header of the optional sixth column, UTF-8.
inline constexpr char kReasonHeader[] = "原因";

// One CSV field: a leading apostrophe when it starts with = + - or @ (a spreadsheet would
// run it as a formula), then quoted (inner quotes doubled) when it holds a comma, quote,
// CR or LF.
std::string CsvField(const std::string& utf8);

// A row as one line of tab-separated cells (UTF-8, no line end); a tab or line break
// inside a cell becomes a space, so that a spreadsheet keeps the columns.
std::string PlainTextRow(const RowStore::Row& row);
// The header and every row, each line ended by `line_end`.
std::string PlainTextTable(const std::vector<RowStore::Row>& rows, const char* line_end = "\n");

// UTF-8 byte-order mark, header record, one record per row; CR LF record ends. With a
// sixth column 原因 (ReasonCell) when `reasons` is set.
std::string FormatCsv(const std::vector<RowStore::Row>& rows, bool reasons = false);

}  // namespace kelvaro
