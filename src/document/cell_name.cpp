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

}  // namespace kelvaro
