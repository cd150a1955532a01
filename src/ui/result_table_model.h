// The Result table as the window shows it: a Qt table model over a RowStore that is
// also the ResultTable seam. Every operation runs on the window's thread; a call from
// a worker waits until the window's thread has carried it out.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QThread>
#include <type_traits>
#include <utility>

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

  // ResultTable: from any thread.
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

 private:
  // Runs `f` on the window's thread and gives back its result; `fallback` is what a
  // worker gets if the call is dropped because the model is going away.
  template <typename R, typename F>
  R OnWindowThread(R fallback, F&& f);
  template <typename F>
  void OnWindowThread(F&& f);

  bool ValidRow(int row) { return row >= 0 && row < store_.RowCount(); }
  static bool ValidColumn(int column) { return column >= 0 && column < kColumnCount; }
  void SetCellDirect(int row, int column, const Text& text);
  void DeleteRowDirect(int row);
  void MakeRowVisibleDirect(int row);

  // Changed only on the window's thread, so the view always agrees with it.
  mutable RowStore store_;
  QPointer<QTreeView> view_;
};

template <typename R, typename F>
R ResultTableModel::OnWindowThread(R fallback, F&& f) {
  if (QThread::currentThread() == thread()) return f();
  R result = std::move(fallback);
  QMetaObject::invokeMethod(
      this, [&result, &f] { result = f(); }, Qt::BlockingQueuedConnection);
  return result;
}

template <typename F>
void ResultTableModel::OnWindowThread(F&& f) {
  if (QThread::currentThread() == thread()) {
    f();
    return;
  }
  QMetaObject::invokeMethod(
      this, [&f] { f(); }, Qt::BlockingQueuedConnection);
}

}  // namespace kelvaro
