// The Result table as the window shows it: a Qt table model over a RowStore that is
// also the ResultTable seam. The store is thread-safe, so a worker reads and writes its
// row by id in the store at once; what the view knows (which rows there are) changes
// only on the window's thread, which hears of a worker's changes without being waited for.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QTimer>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

#include "batch/result_table.h"
#include "batch/row_store.h"

class QTreeView;

namespace kelvaro {

class ResultTableModel : public QAbstractTableModel, public ResultTable {
  Q_OBJECT

 public:
  explicit ResultTableModel(QObject* parent = nullptr);

  // The view that MakeRowVisible scrolls and HitTestCell looks into (may be none).
  void SetView(QTreeView* view);
  QTreeView* view() const;

  // Qt model.
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // ResultTable: from any thread. Row indexes are the view's; off the window's thread
  // the index operations wait for the window's thread, the id operations do not.
  int RowCount() override;
  int AppendRow(const Text& ordinal) override;
  Text GetCellText(int row, int column) override;
  void SetCellText(int row, int column, const Text& text) override;
  void DeleteRow(int row) override;
  void ClearRows() override;
  int FindRow(const Text& text, int column) override;
  CellHit HitTestCell(int x, int y) override;

  std::vector<RowId> RowIds() override;
  int RowIndexOf(RowId id) override;
  Text GetCellTextById(RowId id, int column) override;
  void SetCellTextById(RowId id, int column, const Text& text) override;
  void DeleteRowById(RowId id) override;
  void MakeRowVisibleById(RowId id) override;
  void SetReasonById(RowId id, const RowReason& reason) override;
  RowReason ReasonById(RowId id) override;

  // Window's thread: every row as the view shows it (for copying and export).
  std::vector<RowStore::Row> Snapshot();

  // Window's thread: tells the view now of what workers changed (it hears of it anyway
  // once the window's thread dispatches).
  void SyncView();

 private:
  // Runs `f` on the window's thread and gives back its result; `fallback` is what a
  // worker gets if the call is dropped because the model is going away.
  template <typename R, typename F>
  R OnWindowThread(R fallback, F&& f);
  template <typename F>
  void OnWindowThread(F&& f);

  bool OnOwnThread() const { return QThread::currentThread() == thread(); }
  bool ValidRow(int row) const { return row >= 0 && row < static_cast<int>(view_ids_.size()); }
  static bool ValidColumn(int column) { return column >= 0 && column < kColumnCount; }
  RowId IdAt(int row) const { return ValidRow(row) ? view_ids_[static_cast<std::size_t>(row)] : 0; }
  int ViewRowOf(RowId id) const;
  void EmitRowsChanged(int first, int last);
  void SetCellDirect(int row, int column, const Text& text);
  void DeleteRowDirect(int row);
  void MakeRowVisibleDirect(int row);
  void RemoveVanishedRows();
  // Any thread: asks the window's thread to SyncView, once for many changes.
  void PostSync(RowId changed, bool removed, RowId make_visible);

  mutable RowStore store_;
  QPointer<QTreeView> view_;
  // The rows the view knows, in order (ids ascend). Window's thread only.
  std::vector<RowId> view_ids_;
  bool syncing_ = false;

  // Workers' changes reach the view at most this often: a repaint per row would
  // cost more than the row's lookup.
  static constexpr int kSyncIntervalMs = 100;
  QTimer sync_timer_;

  // What workers changed since the last SyncView.
  std::mutex pending_mutex_;
  bool sync_posted_ = false;
  bool rows_removed_ = false;
  std::vector<RowId> changed_ids_;
  RowId visible_id_ = 0;
};

template <typename R, typename F>
R ResultTableModel::OnWindowThread(R fallback, F&& f) {
  if (OnOwnThread()) return f();
  R result = std::move(fallback);
  QMetaObject::invokeMethod(
      this, [&result, &f] { result = f(); }, Qt::BlockingQueuedConnection);
  return result;
}

template <typename F>
void ResultTableModel::OnWindowThread(F&& f) {
  if (OnOwnThread()) {
    f();
    return;
  }
  QMetaObject::invokeMethod(
      this, [&f] { f(); }, Qt::BlockingQueuedConnection);
}

}  // namespace kelvaro
