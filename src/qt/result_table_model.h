// The Result table as Qt shows it: a table model over the window's WindowTable, and the
// list control the table drives (a QTreeView set up as a report list).
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QTimer>

#include "window/window_table.h"

class QTreeView;

namespace kelvaro {

class ResultTableModel : public QAbstractTableModel, private ListControl {
  Q_OBJECT

 public:
  explicit ResultTableModel(QObject* parent = nullptr);
  ~ResultTableModel() override;

  // The view that MakeRowVisible scrolls and HitTestCell looks into (may be none).
  void SetView(QTreeView* view);
  QTreeView* view() const;
  WindowTable& table() { return table_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  bool OnWindowThread() const override;
  bool RunOnWindowThread(const std::function<void()>& task) override;
  void ScheduleSync() override;
  void BeginInsertRows(int first, int last) override;
  void EndInsertRows() override;
  void BeginRemoveRows(int first, int last) override;
  void EndRemoveRows() override;
  void BeginReset() override;
  void EndReset() override;
  void RowsChanged(int first, int last) override;
  void BeginReorder() override;
  void EndReorder(const std::vector<int>& new_rows) override;
  void ShowOrder(const RowOrder& order) override;
  void ScrollToRow(int row) override;
  CellHit HitTest(int x, int y) override;

  mutable WindowTable table_;
  QPointer<QTreeView> view_;
  QTimer sync_timer_;
};

}  // namespace kelvaro
