#include "document/cell_name.h"

namespace kelvaro {

std::string ColumnName(std::uint32_t column) {
  std::string letters;
  for (std::uint32_t n = column; n > 0; n = (n - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return letters;
}

std::string CellName(std::uint32_t column, std::uint32_t row) {
  return ColumnName(column) + std::to_string(row);
}

std::string DistinctSheetName(const std::string& name, std::set<std::string>& taken) {
  std::string distinct = name;
  for (int copy = 2; !taken.insert(distinct).second; ++copy) {
    distinct = name + " (" + std::to_string(copy) + ")";
  }
  return distinct;
}

}  // namespace kelvaro
