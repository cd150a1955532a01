#include "rows/verdicts.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "rows/columns.h"
#include "rows/status.h"
#include "support/named_case.h"

namespace kelvaro {
namespace {

TableRow Looked(Status status, Outcome outcome, RowNotes notes = {}) {
  TableRow row;
  row.cells[ColumnIndex(Column::kStatus)] = StatusWord(status);
  row.reason.outcome = outcome;
  row.notes = std::move(notes);
  return row;
}

const RowNotes kComing{ComingStandard{"GB/T 50001-2024", "T", "2027-03-01"}, "", std::nullopt};
const RowNotes kOtherEdition{std::nullopt, "2018年版", false};
const RowNotes kSameEdition{std::nullopt, "2018年版", true};

struct VerdictCase {
  const char* name;
  TableRow row;
  RowVerdict verdict;
  const char* label;
  bool outdated;
};
KELVARO_PRINT_CASES_BY_NAME()

class VerdictTableTest : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(VerdictTableTest, RowComesToItsVerdict) {
  const VerdictCase& c = GetParam();
  EXPECT_EQ(VerdictOf(c.row), c.verdict);
  EXPECT_EQ(std::string(SpecOf(c.verdict).summary_label), c.label);
  EXPECT_EQ(RowFill(c.row), SpecOf(c.verdict).fill);
  EXPECT_EQ(IsOutdated(c.row), c.outdated);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VerdictTableTest,
    ::testing::Values(
        VerdictCase{"NotLookedUp", TableRow{}, RowVerdict::kNone, "", false},
        VerdictCase{"Current", Looked(Status::kCurrent, Outcome::kFound), RowVerdict::kCurrent,
                    "现行", false},
        VerdictCase{"CurrentSameEdition", Looked(Status::kCurrent, Outcome::kFound, kSameEdition),
                    RowVerdict::kCurrent, "现行", false},
        VerdictCase{"CurrentOtherEdition", Looked(Status::kCurrent, Outcome::kFound, kOtherEdition),
                    RowVerdict::kCurrent, "现行", true},
        VerdictCase{"CurrentSuccessorComing", Looked(Status::kCurrent, Outcome::kFound, kComing),
                    RowVerdict::kCurrentComing, "现行", false},
        VerdictCase{"Superseded", Looked(Status::kSuperseded, Outcome::kFound),
                    RowVerdict::kSuperseded, "有新标准", true},
        VerdictCase{"Withdrawn", Looked(Status::kUnknown, Outcome::kWithdrawn),
                    RowVerdict::kWithdrawn, "已废止", true},
        VerdictCase{"NotInForce", Looked(Status::kUnknown, Outcome::kNotInForce),
                    RowVerdict::kNotInForce, "尚未实施", true},
        VerdictCase{"NotFound", Looked(Status::kUnknown, Outcome::kNotFound),
                    RowVerdict::kNotListed, "未收录", false},
        VerdictCase{"NoYear", Looked(Status::kUnknown, Outcome::kNoYear), RowVerdict::kNotListed,
                    "未收录", false},
        VerdictCase{"Empty", Looked(Status::kUnknown, Outcome::kEmpty), RowVerdict::kNotListed,
                    "未收录", false},
        // An older year than the site's current one is no failure of the site.
        VerdictCase{"FoundButUnknown", Looked(Status::kUnknown, Outcome::kFound),
                    RowVerdict::kNotListed, "未收录", false},
        VerdictCase{"HttpError", Looked(Status::kUnknown, Outcome::kHttpError), RowVerdict::kFailed,
                    "查询失败", false},
        VerdictCase{"Network", Looked(Status::kUnknown, Outcome::kNetwork), RowVerdict::kFailed,
                    "查询失败", false},
        VerdictCase{"Aborted", Looked(Status::kUnknown, Outcome::kAborted), RowVerdict::kFailed,
                    "查询失败", false}),
    test::CaseName());

TEST(VerdictTable, FillsTellTheKindsApart) {
  std::set<CellFill> fills;
  for (const RowVerdict verdict :
       {RowVerdict::kCurrent, RowVerdict::kSuperseded, RowVerdict::kWithdrawn,
        RowVerdict::kNotInForce, RowVerdict::kNotListed, RowVerdict::kFailed}) {
    EXPECT_TRUE(fills.insert(SpecOf(verdict).fill).second) << SpecOf(verdict).summary_label;
  }
  EXPECT_EQ(SpecOf(RowVerdict::kCurrentComing).fill, SpecOf(RowVerdict::kNotInForce).fill);
  EXPECT_EQ(SpecOf(RowVerdict::kCurrent).fill, CellFill::kLightGreen);
  EXPECT_EQ(SpecOf(RowVerdict::kSuperseded).fill, CellFill::kAmber);
  EXPECT_EQ(SpecOf(RowVerdict::kNotListed).fill, CellFill::kGrey);
}

TEST(VerdictSummary, CountsEachLabelOnceInTableOrder) {
  const std::vector<RowVerdict> verdicts = {RowVerdict::kCurrent,    RowVerdict::kCurrentComing,
                                            RowVerdict::kSuperseded, RowVerdict::kWithdrawn,
                                            RowVerdict::kNotListed,  RowVerdict::kFailed,
                                            RowVerdict::kFailed,     RowVerdict::kNone};
  EXPECT_EQ(VerdictSummary(verdicts),
            "8 行：2 现行，1 有新标准，1 已废止，0 尚未实施，1 未收录，2 查询失败，1 未查询");
  EXPECT_EQ(VerdictSummary({}),
            "0 行：0 现行，0 有新标准，0 已废止，0 尚未实施，0 未收录，0 查询失败");
}

}  // namespace
}  // namespace kelvaro
