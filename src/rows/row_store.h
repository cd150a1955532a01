// The Result table's rows in memory, thread-safe. The command line uses it as the
// table itself; the window's model keeps its rows in one.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "rows/result_table.h"

namespace kelvaro {

class RowStore : public ResultTable {
 public:
  using Row = TableRow;

  // HitTestCell: no view, always a miss.
  KELVARO_RESULT_TABLE_OVERRIDES

  // AppendRow that gives back the new row's id.
  RowId AppendRowWithId(const Text& ordinal);

  std::vector<Row> Snapshot() override;
  // A copy of one row.
  std::optional<Row> RowById(RowId id);
  // CellUtf8 of one row, without copying it; empty when removed.
  std::string CellUtf8ById(RowId id, int column);

 private:
  // Rows are only appended or removed, never reordered, so ids ascend: binary search.
  int IndexOfLocked(RowId id) const;
  bool ValidRowLocked(int row) const;

  std::mutex mutex_;
  // Behind pointers so that removing a row from a long table moves pointers only.
  std::vector<std::unique_ptr<Row>> rows_;
  RowId next_id_ = 1;
};

}  // namespace kelvaro
