#include "batch/result_table.h"

#include "text/encoding.h"

namespace kelvaro {
namespace {

constexpr const char* kColumnHeaders[kColumnCount] = {"序号", "待查标准编号", "是否现行",
                                                      "最新标准编号", "最新标准名称"};

}  // namespace

const char* ColumnHeader(Column column) { return ColumnHeader(ColumnIndex(column)); }

const char* ColumnHeader(int column_index) {
  return column_index >= 0 && column_index < kColumnCount ? kColumnHeaders[column_index] : "";
}

std::string CellUtf8(const TableRow& row, int column) {
  if (column < 0 || column >= kColumnCount) return {};
  const Text& cell = row.cells[static_cast<std::size_t>(column)];
  const std::string& written = row.source.number_utf8;
  // Only while the cell is still what the import made of that text.
  if (column == ColumnIndex(Column::kNumber) && !written.empty() && Utf8ToGbk(written) == cell) {
    return written;
  }
  return GbkToUtf8(cell);
}

}  // namespace kelvaro
