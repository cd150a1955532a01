#include "ui/result_table_model.h"

#include <QHeaderView>
#include <QTreeView>
#include <algorithm>

#include "batch/table_export.h"
#include "ui/window_text.h"

namespace kelvaro {

namespace {

// The ordinal is left-aligned, every other column centred.
Qt::Alignment ColumnAlignment(int column) {
  return column == ColumnIndex(Column::kOrdinal) ? (Qt::AlignLeft | Qt::AlignVCenter)
                                                 : Qt::Alignment(Qt::AlignCenter);
}

}  // namespace

ResultTableModel::ResultTableModel(QObject* parent) : QAbstractTableModel(parent) {
  sync_timer_.setSingleShot(true);
  sync_timer_.setInterval(kSyncIntervalMs);
  connect(&sync_timer_, &QTimer::timeout, this, &ResultTableModel::SyncView);
}

void ResultTableModel::SetView(QTreeView* view) { view_ = view; }

QTreeView* ResultTableModel::view() const { return view_; }

int ResultTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(view_ids_.size());
}

int ResultTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !ValidColumn(index.column())) return {};
  const RowId id = IdAt(index.row());
  switch (role) {
    case Qt::ToolTipRole:
      if (index.column() == ColumnIndex(Column::kStatus)) {
        const QString reason = QString::fromUtf8(ReasonDescription(store_.ReasonById(id)));
        if (!reason.isEmpty()) return reason;
      }
      [[fallthrough]];
    case Qt::DisplayRole:
      return GbkToWindowText(store_.GetCellTextById(id, index.column()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(ColumnAlignment(index.column()));
    default:
      return {};
  }
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) return QString::fromUtf8(ColumnHeader(section));
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(ColumnAlignment(section));
  return {};
}

Qt::ItemFlags ResultTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int ResultTableModel::ViewRowOf(RowId id) const {
  const auto it = std::lower_bound(view_ids_.begin(), view_ids_.end(), id);
  if (id == 0 || it == view_ids_.end() || *it != id) return -1;
  return static_cast<int>(it - view_ids_.begin());
}

void ResultTableModel::EmitRowsChanged(int first, int last) {
  emit dataChanged(index(first, 0), index(last, kColumnCount - 1),
                   {Qt::DisplayRole, Qt::ToolTipRole});
}

void ResultTableModel::PostSync(RowId changed, bool removed, RowId make_visible) {
  bool post = false;
  {
    std::lock_guard lock(pending_mutex_);
    if (changed != 0) changed_ids_.push_back(changed);
    if (removed) rows_removed_ = true;
    if (make_visible != 0) visible_id_ = make_visible;
    post = !std::exchange(sync_posted_, true);
  }
  if (!post) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!sync_timer_.isActive()) sync_timer_.start();
      },
      Qt::QueuedConnection);
}

void ResultTableModel::SyncView() {
  // A view's slot that reads the table while rows are being removed must not start
  // another removal inside this one.
  if (syncing_) return;
  syncing_ = true;
  sync_timer_.stop();
  bool removed = false;
  std::vector<RowId> changed;
  RowId visible = 0;
  {
    std::lock_guard lock(pending_mutex_);
    sync_posted_ = false;
    removed = std::exchange(rows_removed_, false);
    changed.swap(changed_ids_);
    visible = std::exchange(visible_id_, 0);
  }
  if (removed) RemoveVanishedRows();
  int first = -1;
  int last = -1;
  for (const RowId id : changed) {
    const int row = ViewRowOf(id);
    if (row < 0) continue;
    first = first < 0 ? row : std::min(first, row);
    last = std::max(last, row);
  }
  // One notice for the span: the view repaints only what it shows of it.
  if (first >= 0) EmitRowsChanged(first, last);
  if (visible != 0) MakeRowVisibleDirect(ViewRowOf(visible));
  syncing_ = false;
}

void ResultTableModel::RemoveVanishedRows() {
  const std::vector<RowId> present = store_.RowIds();
  // From the end, one notice per run of neighbouring rows, so earlier indexes hold.
  int row = static_cast<int>(view_ids_.size()) - 1;
  while (row >= 0) {
    if (std::binary_search(present.begin(), present.end(), IdAt(row))) {
      --row;
      continue;
    }
    const int last = row;
    while (row > 0 && !std::binary_search(present.begin(), present.end(), IdAt(row - 1))) --row;
    beginRemoveRows(QModelIndex(), row, last);
    view_ids_.erase(view_ids_.begin() + row, view_ids_.begin() + last + 1);
    endRemoveRows();
    --row;
  }
}

std::vector<RowStore::Row> ResultTableModel::Snapshot() {
  SyncView();
  return store_.Snapshot();
}

int ResultTableModel::RowCount() {
  return OnWindowThread(0, [this] {
    SyncView();
    return static_cast<int>(view_ids_.size());
  });
}

int ResultTableModel::AppendRow(const Text& ordinal) {
  return OnWindowThread(-1, [this, &ordinal] {
    SyncView();
    const int row = static_cast<int>(view_ids_.size());
    beginInsertRows(QModelIndex(), row, row);
    view_ids_.push_back(store_.AppendRowWithId(ordinal));
    endInsertRows();
    return row;
  });
}

Text ResultTableModel::GetCellText(int row, int column) {
  return OnWindowThread(Text(), [&] {
    SyncView();
    return store_.GetCellTextById(IdAt(row), column);
  });
}

void ResultTableModel::SetCellDirect(int row, int column, const Text& text) {
  if (!ValidRow(row) || !ValidColumn(column)) return;
  store_.SetCellTextById(IdAt(row), column, text);
  const QModelIndex cell = index(row, column);
  emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::ToolTipRole});
}

void ResultTableModel::SetCellText(int row, int column, const Text& text) {
  OnWindowThread([&] {
    SyncView();
    SetCellDirect(row, column, text);
  });
}

void ResultTableModel::DeleteRowDirect(int row) {
  if (!ValidRow(row)) return;
  beginRemoveRows(QModelIndex(), row, row);
  store_.DeleteRowById(IdAt(row));
  view_ids_.erase(view_ids_.begin() + row);
  endRemoveRows();
}

void ResultTableModel::DeleteRow(int row) {
  OnWindowThread([&] {
    SyncView();
    DeleteRowDirect(row);
  });
}

void ResultTableModel::ClearRows() {
  OnWindowThread([this] {
    beginResetModel();
    store_.ClearRows();
    view_ids_.clear();
    endResetModel();
  });
}

int ResultTableModel::FindRow(const Text& text, int column) {
  return OnWindowThread(-1, [&] {
    SyncView();
    if (!ValidColumn(column)) return -1;
    for (int row = 0; row < static_cast<int>(view_ids_.size()); ++row) {
      if (store_.GetCellTextById(IdAt(row), column) == text) return row;
    }
    return -1;
  });
}

void ResultTableModel::MakeRowVisibleDirect(int row) {
  if (view_ == nullptr || !ValidRow(row)) return;
  view_->scrollTo(index(row, 0), QAbstractItemView::EnsureVisible);
}

CellHit ResultTableModel::HitTestCell(int x, int y) {
  return OnWindowThread(CellHit{}, [&] {
    SyncView();
    CellHit hit;
    if (view_ == nullptr) return hit;
    hit.column = view_->header()->logicalIndexAt(x);
    const QModelIndex cell = view_->indexAt(QPoint(x, y));
    if (cell.isValid()) {
      hit.row = cell.row();
      hit.column = cell.column();
    }
    return hit;
  });
}

std::vector<RowId> ResultTableModel::RowIds() {
  if (!OnOwnThread()) return store_.RowIds();
  SyncView();
  return view_ids_;
}

int ResultTableModel::RowIndexOf(RowId id) {
  // Off the window's thread only "removed or not" means anything: the view may not
  // have heard of every removal yet.
  if (!OnOwnThread()) return store_.RowIndexOf(id);
  SyncView();
  return ViewRowOf(id);
}

Text ResultTableModel::GetCellTextById(RowId id, int column) {
  return store_.GetCellTextById(id, column);
}

void ResultTableModel::SetCellTextById(RowId id, int column, const Text& text) {
  store_.SetCellTextById(id, column, text);
  if (!OnOwnThread()) {
    PostSync(id, false, 0);
    return;
  }
  const int row = ViewRowOf(id);
  if (row >= 0 && ValidColumn(column)) {
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::ToolTipRole});
  }
}

void ResultTableModel::DeleteRowById(RowId id) {
  if (!OnOwnThread()) {
    store_.DeleteRowById(id);
    PostSync(0, true, 0);
    return;
  }
  SyncView();
  DeleteRowDirect(ViewRowOf(id));
}

void ResultTableModel::SetReasonById(RowId id, const RowReason& reason) {
  store_.SetReasonById(id, reason);
  if (!OnOwnThread()) {
    PostSync(id, false, 0);
    return;
  }
  const int row = ViewRowOf(id);
  if (row >= 0) {
    const QModelIndex cell = index(row, ColumnIndex(Column::kStatus));
    emit dataChanged(cell, cell, {Qt::ToolTipRole});
  }
}

RowReason ResultTableModel::ReasonById(RowId id) { return store_.ReasonById(id); }

void ResultTableModel::MakeRowVisibleById(RowId id) {
  if (!OnOwnThread()) {
    PostSync(0, false, id);
    return;
  }
  SyncView();
  MakeRowVisibleDirect(ViewRowOf(id));
}

}  // namespace kelvaro
