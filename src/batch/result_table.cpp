#include "batch/result_table.h"

namespace kelvaro {
namespace {

constexpr const char* kColumnHeaders[kColumnCount] = {"序号", "待查标准编号", "是否现行",
                                                      "最新标准编号", "最新标准名称"};

}  // namespace

const char* ColumnHeader(Column column) { return ColumnHeader(ColumnIndex(column)); }

const char* ColumnHeader(int column_index) {
  return column_index >= 0 && column_index < kColumnCount ? kColumnHeaders[column_index] : "";
}

}  // namespace kelvaro
