#include "rows/columns.h"

#include "rows/export.h"
#include "rows/reason.h"
#include "rows/verdicts.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

template <Column column>
std::string Cell(const TableRow& row) {
  return GbkToUtf8(row.cells[static_cast<std::size_t>(ColumnIndex(column))]);
}

// Column 1 as written, while the cell is still what the import made of that text.
std::string Number(const TableRow& row) {
  const Text& cell = row.cells[ColumnIndex(Column::kNumber)];
  const std::string& written = row.source.number_utf8;
  if (!written.empty() && Utf8ToGbk(written) == cell) return written;
  return GbkToUtf8(cell);
}

std::string ReasonName(const TableRow& row) { return ReasonCell(row.judgement.reason); }
std::string ReasonWords(const TableRow& row) { return ReasonDescription(row.judgement.reason); }
std::string LookedUpAt(const TableRow& row) { return row.judgement.read_at; }

constexpr unsigned kTable = kShown | kInWorkbook;
constexpr unsigned kSource = kWithSources | kInWorkbook;
constexpr ColumnAlignment kLeft = ColumnAlignment::kLeft;
constexpr ColumnAlignment kCentre = ColumnAlignment::kCentre;

}  // namespace

const std::vector<ColumnSpec>& Columns() {
  static const std::vector<ColumnSpec> columns = {
      {"序号", 40, kLeft, "ordinal", &Cell<Column::kOrdinal>, kTable | kSortedAsNumber},
      {"待查标准编号", 200, kCentre, "number", &Number, kTable},
      {"是否现行", 80, kCentre, "status", &Cell<Column::kStatus>, kTable | kFilledByStatus},
      {"最新标准编号", 200, kCentre, "latest_number", &Cell<Column::kLatestNumber>, kTable},
      {"最新标准名称", 400, kCentre, "latest_title", &Cell<Column::kLatestTitle>, kTable},
      {"原因", 0, kCentre, nullptr, &ReasonName, kWithReasons},
      {"原因", 0, kCentre, nullptr, &ReasonWords, kInWorkbook},
      {"出处", 0, kCentre, nullptr, &SourceWhere, kSource},
      {"原文", 0, kCentre, nullptr, &SourceWritten, kSource},
      {"查询时间", 0, kCentre, nullptr, &LookedUpAt, kInWorkbook},
  };
  return columns;
}

std::vector<const ColumnSpec*> ColumnsFor(unsigned outputs) {
  std::vector<const ColumnSpec*> chosen;
  for (const ColumnSpec& column : Columns()) {
    if ((column.outputs & outputs) != 0) chosen.push_back(&column);
  }
  return chosen;
}

const std::vector<const ColumnSpec*>& ShownColumns() {
  static const std::vector<const ColumnSpec*> shown = ColumnsFor(kShown);
  return shown;
}

unsigned TableOutputs(TableExtras extras) {
  return kShown | (extras.reasons ? kWithReasons : 0u) | (extras.sources ? kWithSources : 0u);
}

CellFill RowFill(const TableRow& row) { return SpecOf(row.judgement.verdict).fill; }

std::string CellUtf8(const TableRow& row, int column) {
  const auto& shown = ShownColumns();
  if (column < 0 || static_cast<std::size_t>(column) >= shown.size()) return {};
  return shown[static_cast<std::size_t>(column)]->value(row);
}

std::vector<std::string> HeaderCells(const std::vector<const ColumnSpec*>& columns) {
  std::vector<std::string> cells;
  cells.reserve(columns.size());
  for (const ColumnSpec* column : columns) cells.emplace_back(column->header);
  return cells;
}

std::vector<std::string> RowCells(const TableRow& row,
                                  const std::vector<const ColumnSpec*>& columns) {
  std::vector<std::string> cells;
  cells.reserve(columns.size());
  for (const ColumnSpec* column : columns) cells.push_back(column->value(row));
  return cells;
}

std::vector<std::vector<std::string>> TableRecords(const std::vector<TableRow>& rows,
                                                   const std::vector<const ColumnSpec*>& columns) {
  std::vector<std::vector<std::string>> records;
  records.reserve(rows.size() + 1);
  records.push_back(HeaderCells(columns));
  for (const TableRow& row : rows) records.push_back(RowCells(row, columns));
  return records;
}

}  // namespace kelvaro
