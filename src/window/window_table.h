// The Result table as a window shows it, once for every toolkit: a ResultTable over a
// thread-safe RowStore. A worker reads and writes its row by id in the store at once; what
// the list control knows (which rows there are, in order) changes only on the window's
// thread, which hears of a worker's changes without being waited for and catches up at most
// every 100 ms. Index operations off the window's thread wait for it. Row indexes are the
// control's: once sorted, the shown order.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rows/result_table.h"
#include "rows/row_store.h"

namespace kelvaro {

// The order the control shows the rows in: the import's (column -1), or by one column, ties
// in the import's order. 序号 sorts by its number, the others by their text's code points.
struct RowOrder {
  int column = -1;
  bool descending = false;
  bool operator==(const RowOrder&) const = default;
};

// What a cell is drawn in, 0xRRGGBB.
struct CellColours {
  std::uint32_t background;
  std::uint32_t text;
  bool operator==(const CellColours&) const = default;
};
// Black or white, whichever reads better on `background`.
std::uint32_t ReadableTextRgb(std::uint32_t background);

// The toolkit's list control, as the table drives it.
class ListControl {
 public:
  virtual ~ListControl() = default;
  virtual bool OnWindowThread() const = 0;
  // Any thread: runs `task` on the window's thread and waits for it. False when the window
  // is gone and nothing ran.
  virtual bool RunOnWindowThread(const std::function<void()>& task) = 0;
  // Any thread: the window's thread should call WindowTable::SyncView soon (within about
  // kSyncIntervalMs); asked at most once until it has.
  virtual void ScheduleSync() = 0;
  // Window's thread. Rows change between Begin and End, as Qt's models announce them.
  virtual void BeginInsertRows(int first, int last) = 0;
  virtual void EndInsertRows() = 0;
  virtual void BeginRemoveRows(int first, int last) = 0;
  virtual void EndRemoveRows() = 0;
  virtual void BeginReset() = 0;
  virtual void EndReset() = 0;
  virtual void RowsChanged(int first, int last) = 0;  // texts or reasons
  // Window's thread. Every row moves between Begin and End: row `r` before is
  // `new_rows[r]` after (a selection follows its row).
  virtual void BeginReorder() = 0;
  virtual void EndReorder(const std::vector<int>& new_rows) = 0;
  // The header's sort indicator for `order`; none for the import's order.
  virtual void ShowOrder(const RowOrder& order) = 0;
  virtual void ScrollToRow(int row) = 0;
  // The cell under a point of the control's client area.
  virtual CellHit HitTest(int x, int y) = 0;
};

class WindowTable : public ResultTable {
 public:
  static constexpr int kSyncIntervalMs = 100;

  // Until SetControl, operations work on the rows alone.
  WindowTable() = default;
  void SetControl(ListControl* control) { control_ = control; }

  // Window's thread: what the control shows.
  int ViewRowCount() const { return static_cast<int>(view_ids_.size()); }
  RowId IdAt(int row) const;
  // A cell as both windows show it (UTF-8, CellUtf8).
  std::string CellText(int row, int column);
  // A cell's tooltip (UTF-8): where the number came from, why the status is what it is;
  // empty for none.
  std::string CellToolTip(int row, int column);
  // The status cell's colours by the row's fill (kFilledByStatus, RowFill); nothing for a
  // cell drawn as the control draws it.
  std::optional<CellColours> CellColour(int row, int column);
  // The row the control shows at `row`; nothing for none.
  std::optional<RowStore::Row> ShownRow(int row) { return store_.RowById(IdAt(row)); }
  // Every row in the control's order (for copying and export: what the user sees).
  std::vector<RowStore::Row> Snapshot() override;

  // Window's thread: shows the rows in `order`. A row added or filled later stays where it
  // is until the next call; ClearRows (an import, a paste) goes back to the import's order.
  void SetOrder(const RowOrder& order);
  const RowOrder& order() const { return order_; }
  // Tells the control now of what workers changed.
  void SyncView();

  // ResultTable, from any thread.
  KELVARO_RESULT_TABLE_OVERRIDES

 private:
  bool OnOwnThread() const { return control_ == nullptr || control_->OnWindowThread(); }
  // Runs `task` where the control's rows may be touched and waits for it.
  void OnWindowThread(const std::function<void()>& task);
  bool ValidRow(int row) const { return row >= 0 && row < ViewRowCount(); }
  static bool ValidColumn(int column) { return column >= 0 && column < kColumnCount; }
  int ViewRowOf(RowId id);
  // view_ids_ changed otherwise than by an append.
  void ViewReordered() { positions_.clear(); }
  void SetCellDirect(int row, int column, const Text& text);
  void DeleteRowDirect(int row);
  void ScrollTo(int row);
  void RemoveVanishedRows();
  // Any thread: what changed, for the next SyncView.
  void PostSync(RowId changed, bool removed, RowId make_visible);

  RowStore store_;
  ListControl* control_ = nullptr;
  // The rows the control knows, in its order: ids ascend in the import's. Window's thread
  // only, as are the others up to syncing_.
  std::vector<RowId> view_ids_;
  RowOrder order_;
  // Sorted: each id with its row, by id; empty until asked for.
  std::vector<std::pair<RowId, int>> positions_;
  bool syncing_ = false;
  // Once the window is gone, workers left behind take turns here instead.
  std::mutex orphan_mutex_;

  std::mutex pending_mutex_;
  bool sync_posted_ = false;
  bool rows_removed_ = false;
  std::vector<RowId> changed_ids_;
  RowId visible_id_ = 0;
};

}  // namespace kelvaro
