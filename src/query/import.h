// Import of a text file of standard numbers into the Result table: one row per
// CR LF-separated line, the file read as UTF-8 and kept as GBK.
#pragma once

#include <string>

#include "batch/result_table.h"
#include "text/text.h"

namespace kelvaro {

// Appends one row per line of `bytes` (cut at the first zero byte, converted from
// UTF-8, split at CR LF): column 0 the ordinal from 1, column 1 the line as it is.
// The caller clears the table first. Returns the number of rows appended.
int ImportNumbersFromBytes(ResultTable& table, const Bytes& bytes);

// Clear, read, fill: what the import button does once a file is chosen. An unreadable
// file leaves the table empty and returns false with the reason in `error` (if given).
bool ImportNumbersFromFile(ResultTable& table, const std::string& path,
                           std::string* error = nullptr);

}  // namespace kelvaro
