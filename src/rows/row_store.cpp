#include "rows/row_store.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "rows/columns.h"

namespace kelvaro {
namespace {

bool ValidColumn(int column) { return column >= 0 && column < kColumnCount; }

}  // namespace

int RowStore::RowCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(rows_.size());
}

int RowStore::AppendRow(const Text& ordinal) {
  std::lock_guard lock(mutex_);
  auto row = std::make_unique<Row>();
  row->id = next_id_++;
  row->cells[0] = ordinal;
  rows_.push_back(std::move(row));
  return static_cast<int>(rows_.size()) - 1;
}

RowId RowStore::AppendRowWithId(const Text& ordinal) {
  std::lock_guard lock(mutex_);
  auto row = std::make_unique<Row>();
  const RowId id = next_id_++;
  row->id = id;
  row->cells[0] = ordinal;
  rows_.push_back(std::move(row));
  return id;
}

Text RowStore::GetCellText(int row, int column) {
  std::lock_guard lock(mutex_);
  if (!ValidRowLocked(row) || !ValidColumn(column)) return {};
  return rows_[static_cast<std::size_t>(row)]->cells[static_cast<std::size_t>(column)];
}

std::string RowStore::GetCellUtf8(int row, int column) {
  std::lock_guard lock(mutex_);
  if (!ValidRowLocked(row)) return {};
  return CellUtf8(*rows_[static_cast<std::size_t>(row)], column);
}

void RowStore::SetCellText(int row, int column, const Text& text) {
  std::lock_guard lock(mutex_);
  if (!ValidRowLocked(row) || !ValidColumn(column)) return;
  rows_[static_cast<std::size_t>(row)]->cells[static_cast<std::size_t>(column)] = text;
}

void RowStore::DeleteRow(int row) {
  std::lock_guard lock(mutex_);
  if (!ValidRowLocked(row)) return;
  rows_.erase(rows_.begin() + row);
}

void RowStore::ClearRows() {
  std::lock_guard lock(mutex_);
  rows_.clear();
}

int RowStore::FindRow(const Text& text, int column) {
  std::lock_guard lock(mutex_);
  if (!ValidColumn(column)) return -1;
  const auto c = static_cast<std::size_t>(column);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i]->cells[c] == text) return static_cast<int>(i);
  }
  return -1;
}

CellHit RowStore::HitTestCell(int /*x*/, int /*y*/) { return {}; }

std::vector<RowId> RowStore::RowIds() {
  std::lock_guard lock(mutex_);
  std::vector<RowId> ids;
  ids.reserve(rows_.size());
  for (const auto& row : rows_) ids.push_back(row->id);
  return ids;
}

int RowStore::RowIndexOf(RowId id) {
  std::lock_guard lock(mutex_);
  return IndexOfLocked(id);
}

Text RowStore::GetCellTextById(RowId id, int column) {
  std::lock_guard lock(mutex_);
  const int index = IndexOfLocked(id);
  if (index < 0 || !ValidColumn(column)) return {};
  return rows_[static_cast<std::size_t>(index)]->cells[static_cast<std::size_t>(column)];
}

void RowStore::SetCellTextById(RowId id, int column, const Text& text) {
  std::lock_guard lock(mutex_);
  const int index = IndexOfLocked(id);
  if (index < 0 || !ValidColumn(column)) return;
  rows_[static_cast<std::size_t>(index)]->cells[static_cast<std::size_t>(column)] = text;
}

void RowStore::DeleteRowById(RowId id) {
  std::lock_guard lock(mutex_);
  const int index = IndexOfLocked(id);
  if (index < 0) return;
  rows_.erase(rows_.begin() + index);
}

void RowStore::MakeRowVisibleById(RowId /*id*/) {}

void RowStore::SetJudgementById(RowId id, const Judgement& judgement) {
  std::lock_guard lock(mutex_);
  const int index = IndexOfLocked(id);
  if (index < 0) return;
  Row& row = *rows_[static_cast<std::size_t>(index)];
  row.judgement = judgement;
  row.cells[ColumnIndex(Column::kStatus)] = StatusWord(judgement.verdict);
  row.cells[ColumnIndex(Column::kLatestNumber)] = LatestNumber(judgement);
  row.cells[ColumnIndex(Column::kLatestTitle)] = LatestTitle(judgement);
}

Judgement RowStore::JudgementById(RowId id) {
  std::lock_guard lock(mutex_);
  const int index = IndexOfLocked(id);
  return index < 0 ? Judgement{} : rows_[static_cast<std::size_t>(index)]->judgement;
}

void RowStore::SetSourceById(RowId id, const RowSource& source) {
  std::lock_guard lock(mutex_);
  const int index = IndexOfLocked(id);
  if (index >= 0) rows_[static_cast<std::size_t>(index)]->source = source;
}

RowSource RowStore::SourceById(RowId id) {
  std::lock_guard lock(mutex_);
  const int index = IndexOfLocked(id);
  return index < 0 ? RowSource{} : rows_[static_cast<std::size_t>(index)]->source;
}

std::vector<RowStore::Row> RowStore::Snapshot() {
  std::lock_guard lock(mutex_);
  std::vector<Row> rows;
  rows.reserve(rows_.size());
  for (const auto& row : rows_) rows.push_back(*row);
  return rows;
}

std::optional<RowStore::Row> RowStore::RowById(RowId id) {
  std::lock_guard lock(mutex_);
  const int index = IndexOfLocked(id);
  if (index < 0) return std::nullopt;
  return *rows_[static_cast<std::size_t>(index)];
}

std::string RowStore::CellUtf8ById(RowId id, int column) {
  std::lock_guard lock(mutex_);
  const int index = IndexOfLocked(id);
  if (index < 0) return {};
  return CellUtf8(*rows_[static_cast<std::size_t>(index)], column);
}

bool RowStore::ValidRowLocked(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size();
}

int RowStore::IndexOfLocked(RowId id) const {
  if (id == 0) return -1;
  const auto it = std::lower_bound(rows_.begin(), rows_.end(), id,
                                   [](const auto& row, RowId wanted) { return row->id < wanted; });
  if (it == rows_.end() || (*it)->id != id) return -1;
  return static_cast<int>(it - rows_.begin());
}

}  // namespace kelvaro
