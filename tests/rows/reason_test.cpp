#include "rows/reason.h"
#include "support/named_case.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kelvaro {
namespace {

struct ReasonCase {
  const char* name;
  RowReason reason;
  const char* words;  // UTF-8
};

KELVARO_PRINT_CASES_BY_NAME()

class ReasonDescriptionTest : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(ReasonDescriptionTest, SaysWhyInChinese) {
  EXPECT_EQ(ReasonDescription(GetParam().reason), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, ReasonDescriptionTest,
    ::testing::Values(
        ReasonCase{"NeverLookedUp", {}, ""},
        ReasonCase{"Refused",
                   {Outcome::kNetwork, 0, "Couldn't connect to server"},
                   "网络错误：连接被拒绝"},
        ReasonCase{"NoResponse", {Outcome::kNetwork, 0, "no response"}, "网络错误：没有应答"},
        ReasonCase{"UnknownWords",
                   {Outcome::kNetwork, 0, "SSL connect error"},
                   "网络错误：SSL connect error"},
        ReasonCase{"NoWords", {Outcome::kNetwork, 0, {}}, "网络错误"},
        ReasonCase{"ServiceUnavailable", {Outcome::kHttpError, 503, {}}, "网站返回 503"},
        ReasonCase{"Withdrawn", {Outcome::kWithdrawn, 0, {}}, "已废止：网站列为废止，无现行版本"},
        ReasonCase{"NotInForce",
                   {Outcome::kNotInForce, 0, {}, "2027-03-01"},
                   "尚未实施：实施日期 2027-03-01"},
        ReasonCase{"NotInForceUndated", {Outcome::kNotInForce, 0, {}}, "尚未实施"},
        ReasonCase{"SiteRefused",
                   {Outcome::kRefused, 0, {}},
                   "网站拒绝查询（无权访问），请稍后再试或降低速度"},
        ReasonCase{"UnrecognisedPage",
                   {Outcome::kUnrecognised, 0, "\xCF\xB5\xCD\xB3\xCE\xAC\xBB\xA4"},
                   "网站返回的不是查询结果页：系统维护"},
        ReasonCase{"NewerThanTheSite",
                   {Outcome::kNewerThanSite, 0, {}, {}, {}, {}, 0, {}, false, 2019, 2003},
                   "引用的版本（2019）比网站列出的现行版本（2003）新，请核对编号或年份"},
        ReasonCase{"UnrecognisedUntitledPage",
                   {Outcome::kUnrecognised, 0, {}},
                   "网站返回的不是查询结果页"}),
    test::CaseName());

// A refusal and a page of another kind are the site failing: --retry and 重新查询未知 ask
// again, --strict counts them.
TEST(Reasons, RefusalsAreSiteFailures) {
  for (const Outcome outcome : {Outcome::kRefused, Outcome::kUnrecognised}) {
    EXPECT_TRUE(IsSiteFailure(outcome)) << OutcomeName(outcome);
  }
  EXPECT_EQ(ReasonCell({Outcome::kRefused, 0, {}}), "refused");
  EXPECT_EQ(ReasonCell({Outcome::kUnrecognised, 0, "\xCF\xB5\xCD\xB3"}), "unrecognised: 系统");
}

struct NotesCase {
  const char* name;
  RowNotes notes;
  std::vector<std::string> lines;
};

class NoteLinesTest : public ::testing::TestWithParam<NotesCase> {};

TEST_P(NoteLinesTest, OneLineEach) { EXPECT_EQ(NoteLines(GetParam().notes), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(
    Notes, NoteLinesTest,
    ::testing::Values(
        NotesCase{"None", {}, {}},
        // The site's edition alone, or one the citation gives too, is nothing to say.
        NotesCase{"EditionMatches", {std::nullopt, "2018年版", true}, {}},
        NotesCase{"EditionDiffers", {std::nullopt, "2018年版", false}, {"现行为 2018年版"}},
        NotesCase{"ComingAndEdition",
                  {ComingStandard{"GB/T 50001-2024", "T", "2027-03-01"}, "2018年版", false},
                  {"新标准即将实施：GB/T 50001-2024（2027-03-01 实施）", "现行为 2018年版"}},
        NotesCase{"ComingUndated",
                  {ComingStandard{"GB/T 50001-2024", "T", {}}, "", std::nullopt},
                  {"新标准即将实施：GB/T 50001-2024"}}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
