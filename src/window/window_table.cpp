#include "window/window_table.h"

#include <algorithm>
#include <utility>

#include "rows/export.h"
#include "rows/reason.h"
#include "text/encoding.h"
#include "window/window_texts.h"

namespace kelvaro {

RowId WindowTable::IdAt(int row) const {
  return ValidRow(row) ? view_ids_[static_cast<std::size_t>(row)] : 0;
}

std::string WindowTable::CellText(int row, int column) {
  return store_.CellUtf8ById(IdAt(row), column);
}

std::string WindowTable::CellToolTip(int row, int column) {
  const std::optional<RowStore::Row> shown = store_.RowById(IdAt(row));
  if (!shown.has_value()) return {};
  if (column == ColumnIndex(Column::kNumber)) {
    return SourceToolTip(SourceWhere(*shown), SourceWritten(*shown));
  }
  if (column != ColumnIndex(Column::kStatus)) return {};
  std::string tip = ReasonDescription(shown->reason);
  if (TitleMatches(*shown) == false) {
    if (!tip.empty()) tip += "\n";
    tip += TitleMismatchText(shown->source.citation->title,
                             GbkToUtf8(shown->cells[ColumnIndex(Column::kLatestTitle)]));
  }
  return tip;
}

void WindowTable::OnWindowThread(const std::function<void()>& task) {
  if (OnOwnThread()) {
    task();
    return;
  }
  if (control_->RunOnWindowThread(task)) return;
  std::lock_guard lock(orphan_mutex_);
  task();
}

int WindowTable::ViewRowOf(RowId id) const {
  const auto it = std::lower_bound(view_ids_.begin(), view_ids_.end(), id);
  if (id == 0 || it == view_ids_.end() || *it != id) return -1;
  return static_cast<int>(it - view_ids_.begin());
}

void WindowTable::PostSync(RowId changed, bool removed, RowId make_visible) {
  bool post = false;
  {
    std::lock_guard lock(pending_mutex_);
    if (changed != 0) changed_ids_.push_back(changed);
    if (removed) rows_removed_ = true;
    if (make_visible != 0) visible_id_ = make_visible;
    post = !std::exchange(sync_posted_, true);
  }
  if (post && control_ != nullptr) control_->ScheduleSync();
}

void WindowTable::SyncView() {
  // A control that reads the table while rows are being removed must not start another
  // removal inside this one.
  if (syncing_) return;
  syncing_ = true;
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
  // One notice for the span: the control repaints only what it shows of it.
  if (first >= 0 && control_ != nullptr) control_->RowsChanged(first, last);
  if (visible != 0) ScrollTo(ViewRowOf(visible));
  syncing_ = false;
}

void WindowTable::RemoveVanishedRows() {
  const std::vector<RowId> present = store_.RowIds();
  // From the end, one notice per run of neighbouring rows, so earlier indexes hold.
  int row = ViewRowCount() - 1;
  while (row >= 0) {
    if (std::binary_search(present.begin(), present.end(), IdAt(row))) {
      --row;
      continue;
    }
    const int last = row;
    while (row > 0 && !std::binary_search(present.begin(), present.end(), IdAt(row - 1))) --row;
    if (control_ != nullptr) control_->BeginRemoveRows(row, last);
    view_ids_.erase(view_ids_.begin() + row, view_ids_.begin() + last + 1);
    if (control_ != nullptr) control_->EndRemoveRows();
    --row;
  }
}

std::vector<RowStore::Row> WindowTable::Snapshot() {
  std::vector<RowStore::Row> rows;
  OnWindowThread([&] {
    SyncView();
    rows = store_.Snapshot();
  });
  return rows;
}

int WindowTable::RowCount() {
  int count = 0;
  OnWindowThread([&] {
    SyncView();
    count = ViewRowCount();
  });
  return count;
}

int WindowTable::AppendRow(const Text& ordinal) {
  int row = -1;
  OnWindowThread([&] {
    SyncView();
    row = ViewRowCount();
    if (control_ != nullptr) control_->BeginInsertRows(row, row);
    view_ids_.push_back(store_.AppendRowWithId(ordinal));
    if (control_ != nullptr) control_->EndInsertRows();
  });
  return row;
}

Text WindowTable::GetCellText(int row, int column) {
  Text text;
  OnWindowThread([&] {
    SyncView();
    text = store_.GetCellTextById(IdAt(row), column);
  });
  return text;
}

std::string WindowTable::GetCellUtf8(int row, int column) {
  std::string text;
  OnWindowThread([&] {
    SyncView();
    text = store_.CellUtf8ById(IdAt(row), column);
  });
  return text;
}

void WindowTable::SetCellDirect(int row, int column, const Text& text) {
  if (!ValidRow(row) || !ValidColumn(column)) return;
  store_.SetCellTextById(IdAt(row), column, text);
  if (control_ != nullptr) control_->RowsChanged(row, row);
}

void WindowTable::SetCellText(int row, int column, const Text& text) {
  OnWindowThread([&] {
    SyncView();
    SetCellDirect(row, column, text);
  });
}

void WindowTable::DeleteRowDirect(int row) {
  if (!ValidRow(row)) return;
  if (control_ != nullptr) control_->BeginRemoveRows(row, row);
  store_.DeleteRowById(IdAt(row));
  view_ids_.erase(view_ids_.begin() + row);
  if (control_ != nullptr) control_->EndRemoveRows();
}

void WindowTable::DeleteRow(int row) {
  OnWindowThread([&] {
    SyncView();
    DeleteRowDirect(row);
  });
}

void WindowTable::ClearRows() {
  OnWindowThread([&] {
    if (control_ != nullptr) control_->BeginReset();
    store_.ClearRows();
    view_ids_.clear();
    if (control_ != nullptr) control_->EndReset();
  });
}

int WindowTable::FindRow(const Text& text, int column) {
  int found = -1;
  OnWindowThread([&] {
    SyncView();
    if (!ValidColumn(column)) return;
    for (int row = 0; row < ViewRowCount(); ++row) {
      if (store_.GetCellTextById(IdAt(row), column) == text) {
        found = row;
        return;
      }
    }
  });
  return found;
}

void WindowTable::ScrollTo(int row) {
  if (control_ != nullptr && ValidRow(row)) control_->ScrollToRow(row);
}

CellHit WindowTable::HitTestCell(int x, int y) {
  CellHit hit;
  OnWindowThread([&] {
    SyncView();
    if (control_ == nullptr) return;
    hit = control_->HitTest(x, y);
    // Only a cell of a row the control shows is a hit.
    if (!ValidRow(hit.row) || !ValidColumn(hit.column)) hit.row = -1;
  });
  return hit;
}

std::vector<RowId> WindowTable::RowIds() {
  if (!OnOwnThread()) return store_.RowIds();
  SyncView();
  return view_ids_;
}

int WindowTable::RowIndexOf(RowId id) {
  // Off the window's thread only "removed or not" means anything: the control may not
  // have heard of every removal yet.
  if (!OnOwnThread()) return store_.RowIndexOf(id);
  SyncView();
  return ViewRowOf(id);
}

Text WindowTable::GetCellTextById(RowId id, int column) {
  return store_.GetCellTextById(id, column);
}

void WindowTable::SetCellTextById(RowId id, int column, const Text& text) {
  store_.SetCellTextById(id, column, text);
  if (!OnOwnThread()) {
    PostSync(id, false, 0);
    return;
  }
  const int row = ViewRowOf(id);
  if (row >= 0 && ValidColumn(column) && control_ != nullptr) control_->RowsChanged(row, row);
}

void WindowTable::DeleteRowById(RowId id) {
  if (!OnOwnThread()) {
    store_.DeleteRowById(id);
    PostSync(0, true, 0);
    return;
  }
  SyncView();
  DeleteRowDirect(ViewRowOf(id));
}

void WindowTable::SetReasonById(RowId id, const RowReason& reason) {
  store_.SetReasonById(id, reason);
  if (!OnOwnThread()) {
    PostSync(id, false, 0);
    return;
  }
  const int row = ViewRowOf(id);
  if (row >= 0 && control_ != nullptr) control_->RowsChanged(row, row);
}

RowReason WindowTable::ReasonById(RowId id) { return store_.ReasonById(id); }

void WindowTable::SetSourceById(RowId id, const RowSource& source) {
  store_.SetSourceById(id, source);
  if (!OnOwnThread()) {
    PostSync(id, false, 0);
    return;
  }
  const int row = ViewRowOf(id);
  if (row >= 0 && control_ != nullptr) control_->RowsChanged(row, row);
}

RowSource WindowTable::SourceById(RowId id) { return store_.SourceById(id); }

void WindowTable::MakeRowVisibleById(RowId id) {
  if (!OnOwnThread()) {
    PostSync(0, false, id);
    return;
  }
  SyncView();
  ScrollTo(ViewRowOf(id));
}

}  // namespace kelvaro
