#include "rows/verdicts.h"

#include <string_view>
#include <utility>

#include "rows/judgement.h"
#include "rows/result_table.h"

namespace kelvaro {
namespace {

const Text kCurrentWord = "\xCF\xD6\xD0\xD0";                     // 现行
const Text kSupersededWord = "\xD3\xD0\xD0\xC2\xB1\xEA\xD7\xBC";  // 有新标准
const Text kUnknownWord = "\xCE\xB4\xD6\xAA";                     // 未知

constexpr When kNever = When::kNever;
constexpr When kOtherEdition = When::kOtherEdition;
constexpr When kCitedOtherwise = When::kCitedOtherwise;
constexpr When kSuccessorNamed = When::kSuccessorNamed;
constexpr When kAlways = When::kAlways;

}  // namespace

const std::vector<VerdictSpec>& Verdicts() {
  using enum CommentOpening;
  // clang-format off
  static const std::vector<VerdictSpec> verdicts = {
  //  verdict                   word             label       fill                  in force
  //  outdated         listed           marked           replaced         comment           说明   again  button
      {Verdict::kCurrent,       kCurrentWord,    "现行",     CellFill::kLightGreen, true,
       kOtherEdition,   kCitedOtherwise, kCitedOtherwise, kOtherEdition,   kNotes,           false, false, "按钮4"},
      {Verdict::kCurrentComing, kCurrentWord,    "现行",     CellFill::kLightBlue,  true,
       kOtherEdition,   kCitedOtherwise, kAlways,         kOtherEdition,   kNotes,           false, false, nullptr},
      {Verdict::kSuperseded,    kSupersededWord, "有新标准", CellFill::kAmber,      false,
       kAlways,         kAlways,         kAlways,         kAlways,         kCurrentStandard, false, false, "按钮5"},
      {Verdict::kWithdrawn,     kUnknownWord,    "已废止",   CellFill::kRose,       false,
       kAlways,         kAlways,         kAlways,         kSuccessorNamed, kReason,          true,  false, nullptr},
      {Verdict::kNotInForce,    kUnknownWord,    "尚未实施", CellFill::kLightBlue,  false,
       kAlways,         kAlways,         kAlways,         kNever,          kReason,          true,  false, nullptr},
      {Verdict::kNotListed,     kUnknownWord,    "未收录",   CellFill::kGrey,       false,
       kNever,          kAlways,         kAlways,         kNever,          kReason,          false, false, nullptr},
      {Verdict::kFailed,        kUnknownWord,    "查询失败", CellFill::kViolet,     false,
       kNever,          kAlways,         kAlways,         kNever,          kReason,          false, true,  nullptr},
  };
  // clang-format on
  return verdicts;
}

const VerdictSpec& SpecOf(Verdict verdict) {
  static const VerdictSpec none{
      Verdict::kNone,         Text(), "",    CellFill::kNone, false, kNever, kNever, kNever, kNever,
      CommentOpening::kNotes, false,  false, nullptr};
  for (const VerdictSpec& spec : Verdicts()) {
    if (spec.verdict == verdict) return spec;
  }
  return none;
}

const Text& StatusWord(Verdict verdict) { return SpecOf(verdict).status_word; }

bool Holds(When when, const Judgement& judgement) {
  return when == When::kAlways ||
         (when == When::kOtherEdition && judgement.notes.edition_matches == false) ||
         (when == When::kCitedOtherwise &&
          (judgement.notes.edition_matches == false || judgement.notes.title_matches == false)) ||
         (when == When::kSuccessorNamed && judgement.replaced_by.has_value());
}

std::vector<Verdict> VerdictsOf(ResultTable& table) {
  std::vector<Verdict> verdicts;
  for (const RowId id : table.RowIds()) verdicts.push_back(table.JudgementById(id).verdict);
  return verdicts;
}

std::vector<Verdict> VerdictsOf(const std::vector<TableRow>& rows) {
  std::vector<Verdict> verdicts;
  verdicts.reserve(rows.size());
  for (const TableRow& row : rows) verdicts.push_back(row.judgement.verdict);
  return verdicts;
}

std::string VerdictSummary(const std::vector<Verdict>& verdicts) {
  // Labels in the table's order, each counted once.
  std::vector<std::pair<std::string_view, int>> counts;
  for (const VerdictSpec& spec : Verdicts()) {
    bool known = false;
    for (const auto& count : counts) known = known || count.first == spec.summary_label;
    if (!known) counts.emplace_back(spec.summary_label, 0);
  }
  int not_looked_up = 0;
  for (const Verdict verdict : verdicts) {
    if (verdict == Verdict::kNone) ++not_looked_up;
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

bool IsOutdated(const Judgement& judgement) {
  return Holds(SpecOf(judgement.verdict).outdated, judgement);
}

}  // namespace kelvaro
