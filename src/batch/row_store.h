// The Result table's rows in memory, thread-safe. The command line uses it as the
// table itself; the window's model keeps its rows in one.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "batch/result_table.h"

namespace kelvaro {

class RowStore : public ResultTable {
 public:
  using Row = TableRow;

  int RowCount() override;
  int AppendRow(const Text& ordinal) override;
  Text GetCellText(int row, int column) override;
  std::string GetCellUtf8(int row, int column) override;
  void SetCellText(int row, int column, const Text& text) override;
  void DeleteRow(int row) override;
  void ClearRows() override;
  int FindRow(const Text& text, int column) override;
  CellHit HitTestCell(int x, int y) override;  // no view: always a miss

  std::vector<RowId> RowIds() override;
  int RowIndexOf(RowId id) override;
  Text GetCellTextById(RowId id, int column) override;
  void SetCellTextById(RowId id, int column, const Text& text) override;
  void DeleteRowById(RowId id) override;
  void MakeRowVisibleById(RowId id) override;
  void SetReasonById(RowId id, const RowReason& reason) override;
  RowReason ReasonById(RowId id) override;
  void SetSourceById(RowId id, const RowSource& source) override;
  RowSource SourceById(RowId id) override;

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
