// The Result table as a CSV file, written the same way by the command line and the window.
#pragma once

#include <string>
#include <vector>

#include "batch/row_store.h"

namespace kelvaro {

// One CSV field: a leading apostrophe when it starts with = + - or @ (a spreadsheet would
// run it as a formula), then quoted (inner quotes doubled) when it holds a comma, quote,
// CR or LF.
std::string CsvField(const std::string& utf8);

// UTF-8 byte-order mark, header record, one record per row; CR LF record ends.
std::string FormatCsv(const std::vector<RowStore::Row>& rows);

}  // namespace kelvaro
