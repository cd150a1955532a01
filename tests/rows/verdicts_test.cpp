#include "rows/verdicts.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "rows/columns.h"
#include "rows/judgement.h"
#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

TableRow Looked(Verdict verdict, Outcome outcome, RowNotes notes = {}) {
  TableRow row;
  row.judgement.verdict = verdict;
  row.judgement.reason.outcome = outcome;
  row.judgement.notes = std::move(notes);
  return row;
}

const RowNotes kComing{ComingStandard{"GB/T 50001-2024", "T", "2027-03-01"}, "", std::nullopt};
const RowNotes kOtherEdition{std::nullopt, "2018年版", false};
const RowNotes kSameEdition{std::nullopt, "2018年版", true};

struct VerdictCase {
  const char* name;
  TableRow row;
  Verdict verdict;
  const char* label;
  bool outdated;
};
KELVARO_PRINT_CASES_BY_NAME()

class VerdictTableTest : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(VerdictTableTest, RowComesToItsVerdict) {
  const VerdictCase& c = GetParam();
  EXPECT_EQ(VerdictsOf(std::vector<TableRow>{c.row}), std::vector<Verdict>{c.verdict});
  EXPECT_EQ(std::string(SpecOf(c.verdict).summary_label), c.label);
  EXPECT_EQ(RowFill(c.row), SpecOf(c.verdict).fill);
  EXPECT_EQ(IsOutdated(c.row.judgement), c.outdated);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VerdictTableTest,
    ::testing::Values(VerdictCase{"NotLookedUp", TableRow{}, Verdict::kNone, "", false},
                      VerdictCase{"Current", Looked(Verdict::kCurrent, Outcome::kFound),
                                  Verdict::kCurrent, "现行", false},
                      VerdictCase{"CurrentSameEdition",
                                  Looked(Verdict::kCurrent, Outcome::kFound, kSameEdition),
                                  Verdict::kCurrent, "现行", false},
                      VerdictCase{"CurrentOtherEdition",
                                  Looked(Verdict::kCurrent, Outcome::kFound, kOtherEdition),
                                  Verdict::kCurrent, "现行", true},
                      VerdictCase{"CurrentSuccessorComing",
                                  Looked(Verdict::kCurrentComing, Outcome::kFound, kComing),
                                  Verdict::kCurrentComing, "现行", false},
                      VerdictCase{"Superseded", Looked(Verdict::kSuperseded, Outcome::kFound),
                                  Verdict::kSuperseded, "有新标准", true},
                      VerdictCase{"Withdrawn", Looked(Verdict::kWithdrawn, Outcome::kWithdrawn),
                                  Verdict::kWithdrawn, "已废止", true},
                      VerdictCase{"NotInForce", Looked(Verdict::kNotInForce, Outcome::kNotInForce),
                                  Verdict::kNotInForce, "尚未实施", true},
                      VerdictCase{"NotFound", Looked(Verdict::kNotListed, Outcome::kNotFound),
                                  Verdict::kNotListed, "未收录", false},
                      VerdictCase{"NoYear", Looked(Verdict::kNotListed, Outcome::kNoYear),
                                  Verdict::kNotListed, "未收录", false},
                      VerdictCase{"Empty", Looked(Verdict::kNotListed, Outcome::kEmpty),
                                  Verdict::kNotListed, "未收录", false},
                      // An older year than the site's current one is no failure of the site.
                      VerdictCase{"FoundButUnknown", Looked(Verdict::kNotListed, Outcome::kFound),
                                  Verdict::kNotListed, "未收录", false},
                      VerdictCase{"HttpError", Looked(Verdict::kFailed, Outcome::kHttpError),
                                  Verdict::kFailed, "查询失败", false},
                      VerdictCase{"Network", Looked(Verdict::kFailed, Outcome::kNetwork),
                                  Verdict::kFailed, "查询失败", false},
                      VerdictCase{"Aborted", Looked(Verdict::kFailed, Outcome::kAborted),
                                  Verdict::kFailed, "查询失败", false}),
    test::CaseName());

TEST(VerdictTable, FillsTellTheKindsApart) {
  std::set<CellFill> fills;
  for (const Verdict verdict : {Verdict::kCurrent, Verdict::kSuperseded, Verdict::kWithdrawn,
                                Verdict::kNotInForce, Verdict::kNotListed, Verdict::kFailed}) {
    EXPECT_TRUE(fills.insert(SpecOf(verdict).fill).second) << SpecOf(verdict).summary_label;
  }
  EXPECT_EQ(SpecOf(Verdict::kCurrentComing).fill, SpecOf(Verdict::kNotInForce).fill);
  EXPECT_EQ(SpecOf(Verdict::kCurrent).fill, CellFill::kLightGreen);
  EXPECT_EQ(SpecOf(Verdict::kSuperseded).fill, CellFill::kAmber);
  EXPECT_EQ(SpecOf(Verdict::kNotListed).fill, CellFill::kGrey);
}

// What each output does with a verdict, read from the one table: --fail-on, the change list,
// the marked copy (and its replacement) and 重新查询未知.
struct PolicyCase {
  const char* name;
  Verdict verdict;
  std::optional<bool> edition_matches;
  bool outdated, listed, marked, replaced, asked_again;
  bool successor_named = false;  // the site named what replaced it
};

class VerdictPolicyTest : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(VerdictPolicyTest, OutputsTakeItFromTheTable) {
  const PolicyCase& c = GetParam();
  Judgement judgement;
  judgement.verdict = c.verdict;
  judgement.notes.edition_matches = c.edition_matches;
  if (c.successor_named) judgement.replaced_by = ListedStandard{};
  const VerdictSpec& spec = SpecOf(c.verdict);
  EXPECT_EQ(IsOutdated(judgement), c.outdated);
  EXPECT_EQ(Holds(spec.listed, judgement), c.listed);
  EXPECT_EQ(Holds(spec.marked, judgement), c.marked);
  EXPECT_EQ(Holds(spec.replaced, judgement), c.replaced);
  EXPECT_EQ(spec.asked_again, c.asked_again);
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, VerdictPolicyTest,
    ::testing::Values(
        PolicyCase{"None", Verdict::kNone, std::nullopt, false, false, false, false, false},
        PolicyCase{"Current", Verdict::kCurrent, true, false, false, false, false, false},
        PolicyCase{"CurrentOtherEdition", Verdict::kCurrent, false, true, true, true, true, false},
        PolicyCase{"Coming", Verdict::kCurrentComing, std::nullopt, false, false, true, false,
                   false},
        PolicyCase{"ComingOtherEdition", Verdict::kCurrentComing, false, true, true, true, true,
                   false},
        PolicyCase{"Superseded", Verdict::kSuperseded, std::nullopt, true, true, true, true, false},
        PolicyCase{"Withdrawn", Verdict::kWithdrawn, std::nullopt, true, true, true, false, false},
        PolicyCase{"WithdrawnSuccessorNamed", Verdict::kWithdrawn, std::nullopt, true, true, true,
                   true, false, true},
        PolicyCase{"NotInForce", Verdict::kNotInForce, std::nullopt, true, true, true, false,
                   false},
        PolicyCase{"NotListed", Verdict::kNotListed, std::nullopt, false, true, true, false, false},
        PolicyCase{"Failed", Verdict::kFailed, std::nullopt, false, true, true, false, true}),
    test::CaseName());

TEST(VerdictTable, StatusWordsAndRemovalButtons) {
  EXPECT_EQ(StatusWord(Verdict::kCurrent), Gbk(u8"现行"));
  EXPECT_EQ(StatusWord(Verdict::kCurrentComing), Gbk(u8"现行"));
  EXPECT_EQ(StatusWord(Verdict::kSuperseded), Gbk(u8"有新标准"));
  for (const Verdict unknown :
       {Verdict::kWithdrawn, Verdict::kNotInForce, Verdict::kNotListed, Verdict::kFailed}) {
    EXPECT_EQ(StatusWord(unknown), Gbk(u8"未知")) << SpecOf(unknown).summary_label;
  }
  EXPECT_TRUE(StatusWord(Verdict::kNone).empty());
  // Each removal button is named once, by the verdict whose word it removes.
  std::set<std::string> buttons;
  for (const VerdictSpec& spec : Verdicts()) {
    if (spec.removal_button != nullptr) {
      EXPECT_TRUE(buttons.insert(spec.removal_button).second);
    }
  }
  EXPECT_EQ(buttons, (std::set<std::string>{"按钮4", "按钮5"}));
  EXPECT_STREQ(SpecOf(Verdict::kCurrent).removal_button, "按钮4");
  EXPECT_STREQ(SpecOf(Verdict::kSuperseded).removal_button, "按钮5");
}

TEST(VerdictSummary, CountsEachLabelOnceInTableOrder) {
  const std::vector<Verdict> verdicts = {
      Verdict::kCurrent,   Verdict::kCurrentComing, Verdict::kSuperseded, Verdict::kWithdrawn,
      Verdict::kNotListed, Verdict::kFailed,        Verdict::kFailed,     Verdict::kNone};
  EXPECT_EQ(VerdictSummary(verdicts),
            "8 行：2 现行，1 有新标准，1 已废止，0 尚未实施，1 未收录，2 查询失败，1 未查询");
  EXPECT_EQ(VerdictSummary({}),
            "0 行：0 现行，0 有新标准，0 已废止，0 尚未实施，0 未收录，0 查询失败");
}

}  // namespace
}  // namespace kelvaro
