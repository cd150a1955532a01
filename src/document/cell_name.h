// A spreadsheet cell's name, as Excel writes it: columns A to XFD, rows from 1.
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace kelvaro {

// The column's letters, counted from 1: 1 is "A", 27 is "AA".
std::string ColumnName(std::uint32_t column);
// (3, 5) is "C5".
std::string CellName(std::uint32_t column, std::uint32_t row);

// `name`, or Excel's name for a copy ("S (2)") when a sheet before it already took `name`:
// a damaged workbook may name two sheets alike, and a place must lead to one of them.
std::string DistinctSheetName(const std::string& name, std::set<std::string>& taken);

}  // namespace kelvaro
