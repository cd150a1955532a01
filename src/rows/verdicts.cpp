#include "rows/verdicts.h"

#include <string_view>
#include <utility>

#include "rows/status.h"

namespace kelvaro {

const std::vector<VerdictSpec>& Verdicts() {
  static const std::vector<VerdictSpec> verdicts = {
      {RowVerdict::kCurrent, "现行", CellFill::kLightGreen},
      {RowVerdict::kCurrentComing, "现行", CellFill::kLightBlue},
      {RowVerdict::kSuperseded, "有新标准", CellFill::kAmber},
      {RowVerdict::kWithdrawn, "已废止", CellFill::kRose},
      {RowVerdict::kNotInForce, "尚未实施", CellFill::kLightBlue},
      {RowVerdict::kNotListed, "未收录", CellFill::kGrey},
      {RowVerdict::kFailed, "查询失败", CellFill::kViolet},
  };
  return verdicts;
}

const VerdictSpec& SpecOf(RowVerdict verdict) {
  static const VerdictSpec none{RowVerdict::kNone, "", CellFill::kNone};
  for (const VerdictSpec& spec : Verdicts()) {
    if (spec.verdict == verdict) return spec;
  }
  return none;
}

namespace {

RowVerdict VerdictOf(const Text& status_cell, Outcome outcome, bool coming) {
  switch (StatusOfCell(status_cell)) {
    case Status::kNone:
      return RowVerdict::kNone;
    case Status::kCurrent:
      return coming ? RowVerdict::kCurrentComing : RowVerdict::kCurrent;
    case Status::kSuperseded:
      return RowVerdict::kSuperseded;
    case Status::kUnknown:
      break;
  }
  if (outcome == Outcome::kWithdrawn) return RowVerdict::kWithdrawn;
  if (outcome == Outcome::kNotInForce) return RowVerdict::kNotInForce;
  if (IsSiteFailure(outcome) || outcome == Outcome::kAborted) return RowVerdict::kFailed;
  return RowVerdict::kNotListed;
}

}  // namespace

RowVerdict VerdictOf(const TableRow& row) {
  return VerdictOf(row.cells[ColumnIndex(Column::kStatus)], row.reason.outcome,
                   row.notes.coming.has_value());
}

std::vector<RowVerdict> VerdictsOf(ResultTable& table) {
  std::vector<RowVerdict> verdicts;
  for (const RowId id : table.RowIds()) {
    verdicts.push_back(VerdictOf(table.GetCellTextById(id, ColumnIndex(Column::kStatus)),
                                 table.ReasonById(id).outcome,
                                 table.NotesById(id).coming.has_value()));
  }
  return verdicts;
}

std::vector<RowVerdict> VerdictsOf(const std::vector<TableRow>& rows) {
  std::vector<RowVerdict> verdicts;
  verdicts.reserve(rows.size());
  for (const TableRow& row : rows) verdicts.push_back(VerdictOf(row));
  return verdicts;
}

std::string VerdictSummary(const std::vector<RowVerdict>& verdicts) {
  // Labels in the table's order, each counted once.
  std::vector<std::pair<std::string_view, int>> counts;
  for (const VerdictSpec& spec : Verdicts()) {
    bool known = false;
    for (const auto& count : counts) known = known || count.first == spec.summary_label;
    if (!known) counts.emplace_back(spec.summary_label, 0);
  }
  int not_looked_up = 0;
  for (const RowVerdict verdict : verdicts) {
    if (verdict == RowVerdict::kNone) ++not_looked_up;
    for (auto& count : counts) count.second += count.first == SpecOf(verdict).summary_label;
  }
  std::string line = std::to_string(verdicts.size()) + " 行：";
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (i > 0) line += "，";
    line.append(std::to_string(counts[i].second)).append(" ").append(counts[i].first);
  }
  if (not_looked_up > 0) line.append("，").append(std::to_string(not_looked_up)).append(" 未查询");
  return line;
}

bool IsOutdated(const TableRow& row) {
  switch (VerdictOf(row)) {
    case RowVerdict::kSuperseded:
    case RowVerdict::kWithdrawn:
    case RowVerdict::kNotInForce:
      return true;
    case RowVerdict::kCurrent:
    case RowVerdict::kCurrentComing:
      return row.notes.edition_matches == false;
    default:
      return false;
  }
}

}  // namespace kelvaro
