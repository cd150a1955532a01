#include "ui/result_table_model.h"

#include <QHeaderView>
#include <QTreeView>

#include "ui/window_text.h"

namespace kelvaro {

namespace {

// The ordinal is left-aligned, every other column centred.
Qt::Alignment ColumnAlignment(int column) {
  return column == ColumnIndex(Column::kOrdinal) ? (Qt::AlignLeft | Qt::AlignVCenter)
                                                 : Qt::Alignment(Qt::AlignCenter);
}

}  // namespace

ResultTableModel::ResultTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultTableModel::SetView(QTreeView* view) { view_ = view; }

QTreeView* ResultTableModel::view() const { return view_; }

int ResultTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : store_.RowCount();
}

int ResultTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
      return GbkToWindowText(store_.GetCellText(index.row(), index.column()));
    }
    case Qt::TextAlignmentRole:
      if (index.column() < 0 || index.column() >= kColumnCount) return {};
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

int ResultTableModel::RowCount() {
  return OnWindowThread(0, [this] { return store_.RowCount(); });
}

int ResultTableModel::AppendRow(const Text& ordinal) {
  return OnWindowThread(-1, [this, &ordinal] {
    const int row = store_.RowCount();
    beginInsertRows(QModelIndex(), row, row);
    const int added = store_.AppendRow(ordinal);
    endInsertRows();
    return added;
  });
}

Text ResultTableModel::GetCellText(int row, int column) {
  return OnWindowThread(Text(), [&] { return store_.GetCellText(row, column); });
}

void ResultTableModel::SetCellDirect(int row, int column, const Text& text) {
  if (!ValidRow(row) || !ValidColumn(column)) return;
  store_.SetCellText(row, column, text);
  const QModelIndex cell = index(row, column);
  emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::ToolTipRole});
}

void ResultTableModel::SetCellText(int row, int column, const Text& text) {
  OnWindowThread([&] { SetCellDirect(row, column, text); });
}

void ResultTableModel::DeleteRowDirect(int row) {
  if (!ValidRow(row)) return;
  beginRemoveRows(QModelIndex(), row, row);
  store_.DeleteRow(row);
  endRemoveRows();
}

void ResultTableModel::DeleteRow(int row) {
  OnWindowThread([&] { DeleteRowDirect(row); });
}

void ResultTableModel::ClearRows() {
  OnWindowThread([this] {
    beginResetModel();
    store_.ClearRows();
    endResetModel();
  });
}

int ResultTableModel::FindRow(const Text& text, int column) {
  return OnWindowThread(-1, [&] { return store_.FindRow(text, column); });
}

void ResultTableModel::MakeRowVisibleDirect(int row) {
  if (view_ == nullptr || !ValidRow(row)) return;
  view_->scrollTo(index(row, 0), QAbstractItemView::EnsureVisible);
}

CellHit ResultTableModel::HitTestCell(int x, int y) {
  return OnWindowThread(CellHit{}, [&] {
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
  return OnWindowThread(std::vector<RowId>(), [this] { return store_.RowIds(); });
}

int ResultTableModel::RowIndexOf(RowId id) {
  return OnWindowThread(-1, [&] { return store_.RowIndexOf(id); });
}

Text ResultTableModel::GetCellTextById(RowId id, int column) {
  return OnWindowThread(Text(), [&] { return store_.GetCellTextById(id, column); });
}

void ResultTableModel::SetCellTextById(RowId id, int column, const Text& text) {
  OnWindowThread([&] { SetCellDirect(store_.RowIndexOf(id), column, text); });
}

void ResultTableModel::DeleteRowById(RowId id) {
  OnWindowThread([&] { DeleteRowDirect(store_.RowIndexOf(id)); });
}

void ResultTableModel::SetReasonById(RowId id, const RowReason& reason) {
  OnWindowThread([&] { store_.SetReasonById(id, reason); });
}

RowReason ResultTableModel::ReasonById(RowId id) {
  return OnWindowThread(RowReason{}, [&] { return store_.ReasonById(id); });
}

void ResultTableModel::MakeRowVisibleById(RowId id) {
  OnWindowThread([&] { MakeRowVisibleDirect(store_.RowIndexOf(id)); });
}

}  // namespace kelvaro
