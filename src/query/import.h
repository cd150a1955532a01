// Import of a text file of standard numbers into the Result table: one row per line,
// the file read as UTF-8 (or UTF-16 after its byte-order mark) and kept as GBK.
#pragma once

#include <string>

#include "batch/result_table.h"
#include "text/text.h"

namespace kelvaro {

// The lines of a numbers file, GBK. A line ends at CR LF or at a lone LF (a lone CR stays
// in the line); after the last break only a non-empty rest counts. Invalid sequences and
// zero bytes become "?"; nothing is dropped.
TextList ImportLines(const Bytes& bytes);

// Appends one row per line: column 0 the ordinal from 1, column 1 the line as it is.
// The caller clears the table first. Returns the number of rows appended.
int ImportNumbersFromBytes(ResultTable& table, const Bytes& bytes);

// Read, clear, fill: what the import button does once a file is chosen. A file that
// cannot be read leaves the table as it was and returns false with the reason.
bool ImportNumbersFromFile(ResultTable& table, const std::string& path,
                           std::string* error = nullptr);

}  // namespace kelvaro
