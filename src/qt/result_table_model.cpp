#include "qt/result_table_model.h"

#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QThread>
#include <QTreeView>

#include "rows/columns.h"

namespace kelvaro {

namespace {

int ShownCount() { return static_cast<int>(ShownColumns().size()); }

Qt::Alignment AlignmentOf(int column) {
  return ShownColumns()[static_cast<std::size_t>(column)]->alignment == ColumnAlignment::kLeft
             ? (Qt::AlignLeft | Qt::AlignVCenter)
             : Qt::Alignment(Qt::AlignCenter);
}

QString Shown(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QColor Colour(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

}  // namespace

ResultTableModel::ResultTableModel(QObject* parent) : QAbstractTableModel(parent) {
  sync_timer_.setSingleShot(true);
  sync_timer_.setInterval(WindowTable::kSyncIntervalMs);
  connect(&sync_timer_, &QTimer::timeout, this, [this] { table_.SyncView(); });
  table_.SetControl(this);
}

ResultTableModel::~ResultTableModel() { table_.SetControl(nullptr); }

void ResultTableModel::SetView(QTreeView* view) { view_ = view; }

QTreeView* ResultTableModel::view() const { return view_; }

int ResultTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : table_.ViewRowCount();
}

int ResultTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ShownCount();
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() < 0 || index.column() >= ShownCount()) return {};
  switch (role) {
    case Qt::ToolTipRole:
      if (const std::string tip = table_.CellToolTip(index.row(), index.column()); !tip.empty()) {
        return Shown(tip);
      }
      [[fallthrough]];
    case Qt::DisplayRole:
      return Shown(table_.CellText(index.row(), index.column()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(AlignmentOf(index.column()));
    case Qt::BackgroundRole:
    case Qt::ForegroundRole:
      if (const auto colours = table_.CellColour(index.row(), index.column())) {
        return role == Qt::BackgroundRole ? QVariant(QBrush(Colour(colours->background)))
                                          : QVariant(Colour(colours->text));
      }
      return {};
    default:
      return {};
  }
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ShownCount()) return {};
  if (role == Qt::DisplayRole)
    return QString::fromUtf8(ShownColumns()[static_cast<std::size_t>(section)]->header);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(section));
  return {};
}

Qt::ItemFlags ResultTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool ResultTableModel::OnWindowThread() const { return QThread::currentThread() == thread(); }

bool ResultTableModel::RunOnWindowThread(const std::function<void()>& task) {
  return QMetaObject::invokeMethod(
      this, [&task] { task(); }, Qt::BlockingQueuedConnection);
}

void ResultTableModel::ScheduleSync() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!sync_timer_.isActive()) sync_timer_.start();
      },
      Qt::QueuedConnection);
}

void ResultTableModel::BeginInsertRows(int first, int last) {
  beginInsertRows(QModelIndex(), first, last);
}
void ResultTableModel::EndInsertRows() { endInsertRows(); }
void ResultTableModel::BeginRemoveRows(int first, int last) {
  beginRemoveRows(QModelIndex(), first, last);
}
void ResultTableModel::EndRemoveRows() { endRemoveRows(); }
void ResultTableModel::BeginReset() { beginResetModel(); }
void ResultTableModel::EndReset() { endResetModel(); }

void ResultTableModel::RowsChanged(int first, int last) {
  emit dataChanged(index(first, 0), index(last, ShownCount() - 1),
                   {Qt::DisplayRole, Qt::ToolTipRole, Qt::BackgroundRole, Qt::ForegroundRole});
}

void ResultTableModel::BeginReorder() {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ResultTableModel::EndReorder(const std::vector<int>& new_rows) {
  // The selection and the current cell follow their rows.
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& old : before) {
    const auto row = static_cast<std::size_t>(old.row());
    after.append(row < new_rows.size() ? index(new_rows[row], old.column()) : QModelIndex());
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ResultTableModel::ShowOrder(const RowOrder& order) {
  if (view_ == nullptr) return;
  QHeaderView* header = view_->header();
  header->setSortIndicatorShown(order.column >= 0);
  header->setSortIndicator(order.column,
                           order.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void ResultTableModel::ScrollToRow(int row) {
  if (view_ != nullptr) view_->scrollTo(index(row, 0), QAbstractItemView::EnsureVisible);
}

CellHit ResultTableModel::HitTest(int x, int y) {
  CellHit hit;
  if (view_ == nullptr) return hit;
  const QModelIndex cell = view_->indexAt(QPoint(x, y));
  if (cell.isValid()) {
    hit.row = cell.row();
    hit.column = cell.column();
  }
  return hit;
}

}  // namespace kelvaro
