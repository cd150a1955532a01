#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "query/number.h"
#include "query/verdict.h"
#include "site/standard_site.h"
#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

TEST(YearOf, AfterAHyphenOrColonAtTheEnd) {
  const Text in_a_pair = "GB\xB1-2010";  // the "-" is a lead byte's trail
  struct Case {
    Text number;
    int digits;
    int full;
  } const cases[] = {
      {"GB/T50001-2010", 4, 2010},
      {"GB 50016-2014 ", 4, 2014},
      {" GB-2010", 4, 2010},
      {"CECS 102:2002", 4, 2002},
      {"GB 50045-95", 2, 1995},
      {"GBJ 16-07", 2, 2007},
      {"CECS 28:90", 2, 1990},
      {"GB50001", 0, 0},
      {"GB/T50001-201a", 0, 0},
      {"GB/T50001 2010", 0, 0},
      {"JS-01", 0, 0},
      {"", 0, 0},
      {"-201", 0, 0},
      {in_a_pair, 0, 0},
      {"GB\xB1|2010", 0, 0},
  };
  for (const Case& c : cases) {
    const NumberYear year = YearOf(c.number);
    EXPECT_EQ(year.digits, c.digits) << c.number;
    EXPECT_EQ(year.full, c.full) << c.number;
  }
}

TEST(JudgeLookup, StatusAndReasonOfEachKindOfLookup) {
  StandardLookup found;
  found.http_status = 200;
  found.record.status = kRecordCurrent;
  found.record.number = "GB/T 50001-2010";
  StandardLookup missing;
  missing.http_status = 200;
  missing.record.status = kRecordNotFound;
  StandardLookup refused;
  refused.error = "Couldn't connect to server";
  // The status code plays no part in the status: an error page is read like any other.
  StandardLookup unavailable = found;
  unavailable.http_status = 503;

  struct Case {
    const char* number;
    const char* keyword;
    const StandardLookup* lookup;
    RowReason reason;
    Status status;
  };
  const Case cases[] = {
      {"GB/T50001-2010", "GBT50001", &found, {Outcome::kFound, 0, ""}, Status::kCurrent},
      {"GB/T50001-2001", "GBT50001", &found, {Outcome::kFound, 0, ""}, Status::kSuperseded},
      {"GB/T50001-2010", "GBT50001", &missing, {Outcome::kNotFound, 0, ""}, Status::kUnknown},
      // A two-digit year is a year.
      {"GB 50045-95", "GB50045", &found, {Outcome::kFound, 0, ""}, Status::kSuperseded},
      {"GB 50045-95", "GB50045", &missing, {Outcome::kNotFound, 0, ""}, Status::kUnknown},
      {"GB50001", "GB50001", &found, {Outcome::kNoYear, 0, ""}, Status::kUnknown},
      {"GB50001", "GB50001", &missing, {Outcome::kNoYear, 0, ""}, Status::kUnknown},
      {"GB50001",
       "GB50001",
       &refused,
       {Outcome::kNetwork, 0, "Couldn't connect to server"},
       Status::kUnknown},
      {"GB/T50001-2010",
       "GBT50001",
       &unavailable,
       {Outcome::kHttpError, 503, ""},
       Status::kCurrent},
      {"2010", "", nullptr, {Outcome::kEmpty, 0, ""}, Status::kUnknown},
  };
  for (const Case& c : cases) {
    const Verdict got = JudgeLookup(c.number, c.keyword, c.lookup);
    EXPECT_EQ(OutcomeName(got.reason.outcome), std::string(OutcomeName(c.reason.outcome)))
        << c.number;
    EXPECT_EQ(got.reason, c.reason) << c.number;
    EXPECT_EQ(got.status, c.status) << c.number;
    EXPECT_EQ(got.record.number, c.lookup == nullptr ? Text() : c.lookup->record.number)
        << c.number;
  }
}

ListedStandard Row(const char* number, Standing standing, const char* effective = "") {
  ListedStandard row;
  row.number = number;
  row.title = "T";
  row.standing = standing;
  row.effective_date = effective;
  return row;
}

// A page as the site gives it: the current record is its first 现行 row.
StandardLookup Page(std::vector<ListedStandard> rows, const char* current_title = "T") {
  StandardLookup lookup;
  lookup.http_status = 200;
  lookup.record.status = kRecordNotFound;
  for (const ListedStandard& row : rows) {
    if (row.standing != Standing::kCurrent) continue;
    lookup.record = {row.number, Gbk(reinterpret_cast<const char8_t*>(current_title)), "", "",
                     kRecordCurrent};
    break;
  }
  lookup.listed = std::move(rows);
  return lookup;
}

struct ListedCase {
  const char* name;
  const char* number;
  const char* cited_edition;
  StandardLookup lookup;
  Status status;
  RowReason reason;
  RowNotes notes;
};
KELVARO_PRINT_CASES_BY_NAME()

class JudgeListedTest : public ::testing::TestWithParam<ListedCase> {};

TEST_P(JudgeListedTest, ReadsWhatThePageListsOfTheCitedStandard) {
  const ListedCase& c = GetParam();
  Text cleaned = c.number;
  const Text keyword = NormalizeNumber(cleaned);
  const Verdict got = JudgeLookup(c.number, keyword, &c.lookup, c.cited_edition);
  EXPECT_EQ(got.status, c.status);
  EXPECT_EQ(OutcomeName(got.reason.outcome), std::string(OutcomeName(c.reason.outcome)));
  EXPECT_EQ(got.reason, c.reason);
  EXPECT_EQ(got.notes, c.notes);
  EXPECT_EQ(got.record.number, c.lookup.record.number);
}

const ListedStandard k2001 = Row("GB/T 50001-2001", Standing::kWithdrawn);
const ListedStandard k2017 = Row("GB/T 50001-2017", Standing::kCurrent);
const ListedStandard k2024 = Row("GB/T 50001-2024", Standing::kComing, "2027-03-01");
const RowReason kFoundReason{Outcome::kFound, 0, {}};
const ComingStandard kComing{"GB/T 50001-2024", "T", "2027-03-01"};

INSTANTIATE_TEST_SUITE_P(
    Listed, JudgeListedTest,
    ::testing::Values(
        ListedCase{"WithdrawnAlone",
                   "GB 50045-95",
                   "",
                   Page({Row("GB 50045-95", Standing::kWithdrawn)}),
                   Status::kUnknown,
                   {Outcome::kWithdrawn, 0, {}},
                   {}},
        // Another standard's current row does not make the cited one current.
        ListedCase{"WithdrawnBesideOtherStandards",
                   "GB/T 5000-85",
                   "",
                   Page({k2001, k2017, Row("GB/T 5000-85", Standing::kWithdrawn)}),
                   Status::kUnknown,
                   {Outcome::kWithdrawn, 0, {}},
                   {}},
        ListedCase{"WithdrawnWithACurrentSuccessor",
                   "GB/T 50001-2001",
                   "",
                   Page({k2001, k2017}),
                   Status::kSuperseded,
                   kFoundReason,
                   {}},
        ListedCase{"NotYetInForce",
                   "GB/T 50001-2024",
                   "",
                   Page({k2001, k2017, k2024}),
                   Status::kUnknown,
                   {Outcome::kNotInForce, 0, {}, "2027-03-01"},
                   {}},
        ListedCase{"CurrentWithASuccessorComing", "GB/T 50001-2017", "",
                   Page({k2001, k2017, k2024}), Status::kCurrent, kFoundReason,
                   RowNotes{kComing, "", std::nullopt}},
        ListedCase{"SupersededWithASuccessorComing", "GB/T 50001-2001", "",
                   Page({k2001, k2017, k2024}), Status::kSuperseded, kFoundReason,
                   RowNotes{kComing, "", std::nullopt}},
        // An earlier standard coming is no successor.
        ListedCase{"ComingOfAnEarlierYear",
                   "GB/T 50001-2017",
                   "",
                   Page({k2017, Row("GB/T 50001-2010", Standing::kComing)}),
                   Status::kCurrent,
                   kFoundReason,
                   {}},
        ListedCase{"EditionMissingFromTheCitation", "GB 50016-2014", "",
                   Page({Row("GB 50016-2014", Standing::kCurrent)}, "建筑设计防火规范（2018年版）"),
                   Status::kCurrent, kFoundReason, RowNotes{std::nullopt, "2018年版", false}},
        ListedCase{"EditionWrittenDifferently", "GB 50016-2014", "2015年版",
                   Page({Row("GB 50016-2014", Standing::kCurrent)}, "建筑设计防火规范（2018年版）"),
                   Status::kCurrent, kFoundReason, RowNotes{std::nullopt, "2018年版", false}},
        ListedCase{"EditionCited", "GB 50016-2014", "2018年版",
                   Page({Row("GB 50016-2014", Standing::kCurrent)}, "建筑设计防火规范（2018年版）"),
                   Status::kCurrent, kFoundReason, RowNotes{std::nullopt, "2018年版", true}},
        ListedCase{"NoEditionOnTheSite",
                   "GB 50016-2014",
                   "2018年版",
                   Page({Row("GB 50016-2014", Standing::kCurrent)}),
                   Status::kCurrent,
                   kFoundReason,
                   {}},
        // Nothing of the cited standard on the page: the year comparison stands alone.
        ListedCase{"OnlyOtherStandards",
                   "GB 5001-2000",
                   "",
                   Page({Row("GB 50016-2014", Standing::kCurrent),
                         Row("GB 50019-2003", Standing::kWithdrawn)}),
                   Status::kSuperseded,
                   kFoundReason,
                   {}}),
    test::CaseName());

// An error page's rows say nothing of the cited standard.
TEST(JudgeLookup, ErrorPageRowsIgnored) {
  StandardLookup page = Page({Row("GB 50045-95", Standing::kWithdrawn)});
  page.http_status = 503;
  const Verdict got = JudgeLookup("GB 50045-95", "GB50045", &page);
  EXPECT_EQ(got.reason, (RowReason{Outcome::kHttpError, 503, {}}));
  EXPECT_EQ(got.status, Status::kUnknown);
}

}  // namespace
}  // namespace kelvaro
