#include "window/window_table.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <system_error>
#include <utility>

#include "rows/columns.h"
#include "rows/export.h"
#include "rows/reason.h"
#include "text/encoding.h"
#include "window/window_texts.h"

namespace kelvaro {
namespace {

struct SortKey {
  bool is_number = false;
  std::uint64_t number = 0;
  std::string text;  // UTF-8: its bytes compare as its code points do
};

SortKey KeyOf(std::string text, bool as_number) {
  SortKey key;
  if (as_number && !text.empty()) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, key.number);
    key.is_number = error == std::errc() && stop == end;
  }
  key.text = std::move(text);
  return key;
}

// Numbers before texts; "01" and "1" by their text.
int Compare(const SortKey& a, const SortKey& b) {
  if (a.is_number != b.is_number) return a.is_number ? -1 : 1;
  if (a.is_number && a.number != b.number) return a.number < b.number ? -1 : 1;
  return a.text.compare(b.text);
}

}  // namespace

std::uint32_t ReadableTextRgb(std::uint32_t background) {
  const std::uint32_t red = (background >> 16) & 0xFF;
  const std::uint32_t green = (background >> 8) & 0xFF;
  const std::uint32_t blue = background & 0xFF;
  // Perceived brightness (ITU-R BT.601 weights), out of 255 000.
  return red * 299 + green * 587 + blue * 114 >= 128'000 ? 0x000000 : 0xFFFFFF;
}

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
  const Judgement& judgement = shown->judgement;
  std::string tip = ReasonDescription(judgement.reason);
  for (const std::string& line : NoteLines(judgement.notes)) {
    if (!tip.empty()) tip += "\n";
    tip += line;
  }
  for (const std::string& line : TitleMismatchLines(*shown)) {
    if (!tip.empty()) tip += "\n";
    tip += line;
  }
  if (const std::string changed = ChangedSinceText(judgement); !changed.empty()) {
    if (!tip.empty()) tip += "\n";
    tip += changed;
  }
  if (judgement.from_store) {
    if (!tip.empty()) tip += "\n";
    tip += StoredLookupText(judgement.read_at);
  }
  return tip;
}

std::optional<CellColours> WindowTable::CellColour(int row, int column) {
  if (!ValidColumn(column) ||
      (ShownColumns()[static_cast<std::size_t>(column)]->outputs & kFilledByStatus) == 0) {
    return std::nullopt;
  }
  const std::optional<RowStore::Row> shown = store_.RowById(IdAt(row));
  if (!shown.has_value()) return std::nullopt;
  const std::optional<std::uint32_t> fill = FillRgb(RowFill(*shown));
  if (!fill.has_value()) return std::nullopt;
  return CellColours{*fill, ReadableTextRgb(*fill)};
}

void WindowTable::SetOrder(const RowOrder& wanted) {
  SyncView();
  const RowOrder order = ValidColumn(wanted.column) ? wanted : RowOrder{};
  const std::size_t count = view_ids_.size();
  // The row each place is taken by.
  std::vector<int> taken_by(count);
  std::iota(taken_by.begin(), taken_by.end(), 0);
  const auto by_id = [this](int a, int b) {
    return view_ids_[static_cast<std::size_t>(a)] < view_ids_[static_cast<std::size_t>(b)];
  };
  if (order.column < 0) {
    std::sort(taken_by.begin(), taken_by.end(), by_id);
  } else {
    const bool as_number =
        (ShownColumns()[static_cast<std::size_t>(order.column)]->outputs & kSortedAsNumber) != 0;
    std::vector<SortKey> keys;
    keys.reserve(count);
    for (const RowId id : view_ids_) {
      keys.push_back(KeyOf(store_.CellUtf8ById(id, order.column), as_number));
    }
    std::sort(taken_by.begin(), taken_by.end(), [&](int a, int b) {
      const int compared =
          Compare(keys[static_cast<std::size_t>(a)], keys[static_cast<std::size_t>(b)]);
      if (compared != 0) return order.descending ? compared > 0 : compared < 0;
      return by_id(a, b);
    });
  }
  std::vector<int> new_rows(count);
  std::vector<RowId> ids(count);
  for (std::size_t place = 0; place < count; ++place) {
    const auto row = static_cast<std::size_t>(taken_by[place]);
    new_rows[row] = static_cast<int>(place);
    ids[place] = view_ids_[row];
  }
  if (control_ != nullptr) control_->BeginReorder();
  view_ids_.swap(ids);
  order_ = order;
  ViewReordered();
  if (control_ != nullptr) {
    control_->EndReorder(new_rows);
    control_->ShowOrder(order_);
  }
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

int WindowTable::ViewRowOf(RowId id) {
  if (id == 0) return -1;
  if (order_.column < 0) {
    const auto it = std::lower_bound(view_ids_.begin(), view_ids_.end(), id);
    if (it == view_ids_.end() || *it != id) return -1;
    return static_cast<int>(it - view_ids_.begin());
  }
  if (positions_.empty()) {
    positions_.reserve(view_ids_.size());
    for (std::size_t row = 0; row < view_ids_.size(); ++row) {
      positions_.emplace_back(view_ids_[row], static_cast<int>(row));
    }
    std::sort(positions_.begin(), positions_.end());
  }
  const auto it = std::lower_bound(positions_.begin(), positions_.end(), std::pair(id, -1));
  return it == positions_.end() || it->first != id ? -1 : it->second;
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
    ViewReordered();
    if (control_ != nullptr) control_->EndRemoveRows();
    --row;
  }
}

std::vector<RowStore::Row> WindowTable::Snapshot() {
  std::vector<RowStore::Row> rows;
  OnWindowThread([&] {
    SyncView();
    rows = store_.Snapshot();
    if (order_.column < 0) return;  // the store's order is the import's
    std::vector<RowStore::Row> shown;
    shown.reserve(view_ids_.size());
    for (const RowId id : view_ids_) {
      const auto it =
          std::lower_bound(rows.begin(), rows.end(), id,
                           [](const RowStore::Row& row, RowId wanted) { return row.id < wanted; });
      if (it != rows.end() && it->id == id) shown.push_back(std::move(*it));
    }
    rows.swap(shown);
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
    const RowId id = store_.AppendRowWithId(ordinal);
    view_ids_.push_back(id);
    // The newest id is the greatest: the positions stay in order.
    if (!positions_.empty()) positions_.emplace_back(id, row);
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
  ViewReordered();
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
    ViewReordered();
    const bool was_sorted = std::exchange(order_, RowOrder{}) != RowOrder{};
    if (control_ != nullptr) control_->EndReset();
    if (was_sorted && control_ != nullptr) control_->ShowOrder(order_);
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

void WindowTable::SetJudgementById(RowId id, const Judgement& judgement) {
  store_.SetJudgementById(id, judgement);
  if (!OnOwnThread()) {
    PostSync(id, false, 0);
    return;
  }
  const int row = ViewRowOf(id);
  if (row >= 0 && control_ != nullptr) control_->RowsChanged(row, row);
}

Judgement WindowTable::JudgementById(RowId id) { return store_.JudgementById(id); }

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
