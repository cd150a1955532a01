// A spreadsheet cell's name, as Excel writes it: columns A to XFD, rows from 1.
#pragma once

#include <cstdint>
#include <string>

namespace kelvaro {

// The column's letters, counted from 1: 1 is "A", 27 is "AA".
std::string ColumnName(std::uint32_t column);
// (3, 5) is "C5".
std::string CellName(std::uint32_t column, std::uint32_t row);

}  // namespace kelvaro
