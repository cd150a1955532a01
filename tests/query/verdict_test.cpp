#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "query/number.h"
#include "query/verdict.h"
#include "rows/reason.h"
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
  // A 200 page refusing the client, or one of no kind the site's searches give: failures,
  // never "not listed", whatever the number.
  StandardLookup blocked = missing;
  blocked.kind = PageKind::kRefused;
  StandardLookup strange = missing;
  strange.kind = PageKind::kUnrecognised;
  strange.page_title = Gbk(u8"系统维护");

  // A year later than the site's current one: a typo, or a standard the site does not list yet.
  RowReason newer;
  newer.outcome = Outcome::kNewerThanSite;
  newer.cited_year = 2019;
  newer.site_year = 2010;

  struct Case {
    const char* number;
    const char* keyword;
    const StandardLookup* lookup;
    RowReason reason;
    Verdict verdict;
  };
  const Case cases[] = {
      {"GB/T 50001-2019", "GBT50001", &found, newer, Verdict::kNotListed},
      {"GB/T50001-2010", "GBT50001", &found, {Outcome::kFound, 0, ""}, Verdict::kCurrent},
      {"GB/T50001-2001", "GBT50001", &found, {Outcome::kFound, 0, ""}, Verdict::kSuperseded},
      {"GB/T50001-2010", "GBT50001", &missing, {Outcome::kNotFound, 0, ""}, Verdict::kNotListed},
      // A two-digit year is a year.
      {"GB/T 50001-95", "GBT50001", &found, {Outcome::kFound, 0, ""}, Verdict::kSuperseded},
      {"GB/T 50001-95", "GBT50001", &missing, {Outcome::kNotFound, 0, ""}, Verdict::kNotListed},
      {"GB/T50001", "GBT50001", &found, {Outcome::kNoYear, 0, ""}, Verdict::kNotListed},
      {"GB/T50001", "GBT50001", &missing, {Outcome::kNoYear, 0, ""}, Verdict::kNotListed},
      {"GB/T50001",
       "GBT50001",
       &refused,
       {Outcome::kNetwork, 0, "Couldn't connect to server"},
       Verdict::kFailed},
      {"GB/T50001-2010",
       "GBT50001",
       &unavailable,
       {Outcome::kHttpError, 503, ""},
       Verdict::kCurrent},
      {"2010", "", nullptr, {Outcome::kEmpty, 0, ""}, Verdict::kNotListed},
      {"GB 50045-95", "GB50045", &blocked, {Outcome::kRefused, 0, ""}, Verdict::kFailed},
      {"GB50001", "GB50001", &blocked, {Outcome::kRefused, 0, ""}, Verdict::kFailed},
      {"GB 50045-95",
       "GB50045",
       &strange,
       {Outcome::kUnrecognised, 0, Gbk(u8"系统维护")},
       Verdict::kFailed},
  };
  for (const Case& c : cases) {
    const Judgement got = JudgeLookup(c.number, c.keyword, c.lookup);
    EXPECT_EQ(OutcomeName(got.reason.outcome), std::string(OutcomeName(c.reason.outcome)))
        << c.number;
    EXPECT_EQ(got.reason, c.reason) << c.number;
    EXPECT_EQ(got.verdict, c.verdict) << c.number;
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
  for (ListedStandard& row : rows) {
    if (row.standing != Standing::kCurrent) continue;
    row.title = Gbk(reinterpret_cast<const char8_t*>(current_title));
    lookup.record = {row.number, row.title, "", "", kRecordCurrent};
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
  Verdict verdict;
  RowReason reason;
  RowNotes notes;
};
KELVARO_PRINT_CASES_BY_NAME()

class JudgeListedTest : public ::testing::TestWithParam<ListedCase> {};

TEST_P(JudgeListedTest, ReadsWhatThePageListsOfTheCitedStandard) {
  const ListedCase& c = GetParam();
  Text cleaned = c.number;
  const Text keyword = NormalizeNumber(cleaned);
  const Judgement got = JudgeLookup(c.number, keyword, &c.lookup, {c.cited_edition, ""});
  EXPECT_EQ(got.verdict, c.verdict);
  EXPECT_EQ(OutcomeName(got.reason.outcome), std::string(OutcomeName(c.reason.outcome)));
  EXPECT_EQ(got.reason, c.reason);
  EXPECT_EQ(got.notes, c.notes);
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
                   Verdict::kWithdrawn,
                   {Outcome::kWithdrawn, 0, {}},
                   {}},
        // Another standard's current row does not make the cited one current.
        ListedCase{"WithdrawnBesideOtherStandards",
                   "GB/T 5000-85",
                   "",
                   Page({k2001, k2017, Row("GB/T 5000-85", Standing::kWithdrawn)}),
                   Verdict::kWithdrawn,
                   {Outcome::kWithdrawn, 0, {}},
                   {}},
        ListedCase{"WithdrawnWithACurrentSuccessor",
                   "GB/T 50001-2001",
                   "",
                   Page({k2001, k2017}),
                   Verdict::kSuperseded,
                   kFoundReason,
                   {}},
        ListedCase{"NotYetInForce",
                   "GB/T 50001-2024",
                   "",
                   Page({k2001, k2017, k2024}),
                   Verdict::kNotInForce,
                   {Outcome::kNotInForce, 0, {}, "2027-03-01"},
                   {}},
        ListedCase{"CurrentWithASuccessorComing", "GB/T 50001-2017", "",
                   Page({k2001, k2017, k2024}), Verdict::kCurrentComing, kFoundReason,
                   RowNotes{kComing, "", std::nullopt}},
        ListedCase{"SupersededWithASuccessorComing", "GB/T 50001-2001", "",
                   Page({k2001, k2017, k2024}), Verdict::kSuperseded, kFoundReason,
                   RowNotes{kComing, "", std::nullopt}},
        // An earlier standard coming is no successor.
        ListedCase{"ComingOfAnEarlierYear",
                   "GB/T 50001-2017",
                   "",
                   Page({k2017, Row("GB/T 50001-2010", Standing::kComing)}),
                   Verdict::kCurrent,
                   kFoundReason,
                   {}},
        ListedCase{"EditionMissingFromTheCitation", "GB 50016-2014", "",
                   Page({Row("GB 50016-2014", Standing::kCurrent)}, "建筑设计防火规范（2018年版）"),
                   Verdict::kCurrent, kFoundReason, RowNotes{std::nullopt, "2018年版", false}},
        ListedCase{"EditionWrittenDifferently", "GB 50016-2014", "2015年版",
                   Page({Row("GB 50016-2014", Standing::kCurrent)}, "建筑设计防火规范（2018年版）"),
                   Verdict::kCurrent, kFoundReason, RowNotes{std::nullopt, "2018年版", false}},
        ListedCase{"EditionCited", "GB 50016-2014", "2018年版",
                   Page({Row("GB 50016-2014", Standing::kCurrent)}, "建筑设计防火规范（2018年版）"),
                   Verdict::kCurrent, kFoundReason, RowNotes{std::nullopt, "2018年版", true}},
        ListedCase{"NoEditionOnTheSite",
                   "GB 50016-2014",
                   "2018年版",
                   Page({Row("GB 50016-2014", Standing::kCurrent)}),
                   Verdict::kCurrent,
                   kFoundReason,
                   {}},
        // Another standard's current row says nothing of the cited one.
        ListedCase{"OnlyOtherStandards",
                   "GB 5001-2000",
                   "",
                   Page({Row("GB 50016-2014", Standing::kCurrent),
                         Row("GB 50019-2003", Standing::kWithdrawn)}),
                   Verdict::kNotListed,
                   {Outcome::kNotFound, 0, {}, {}, "GB 5001", "GB 50016-2014", 2},
                   {}}),
    test::CaseName());

// Which rows of a page are the cited standard: its code and serial, whatever else begins alike.
struct ChoiceCase {
  const char* name;
  const char* cited;
  std::vector<ListedStandard> rows;
  Verdict verdict;
  const char* record;  // the site's current standard the judgement shows; "" for none
  const char* words;   // the reason in words
};

class CitedStandardTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(CitedStandardTest, JudgesOnlyTheRowsOfTheCitedStandard) {
  const ChoiceCase& c = GetParam();
  Text cleaned = c.cited;
  const Text keyword = NormalizeNumber(cleaned);
  const StandardLookup page = Page(c.rows);
  const Judgement got = JudgeLookup(c.cited, keyword, &page);
  EXPECT_EQ(got.verdict, c.verdict);
  EXPECT_EQ(got.record.number, Text(c.record));
  EXPECT_EQ(ReasonDescription(got.reason), c.words);
  for (const ListedStandard& row : got.listed) {
    EXPECT_TRUE(SameStandard(IdentityOf(row.number), IdentityOf(c.cited))) << row.number;
  }
}

constexpr Standing kIn = Standing::kCurrent;
constexpr Standing kOut = Standing::kWithdrawn;
constexpr char kFoundWords[] = "网站上查到该编号的现行标准";

INSTANTIATE_TEST_SUITE_P(
    Choice, CitedStandardTest,
    ::testing::Values(
        ChoiceCase{"ShortSerialAfterLongerNamesakes",
                   "JGJ 8-2016",
                   {Row("JGJ 80-2016", kIn), Row("JGJ 81-2002", kIn), Row("JGJ 8-2016", kIn)},
                   Verdict::kCurrent,
                   "JGJ 8-2016",
                   kFoundWords},
        ChoiceCase{"OlderEditionOfAShortSerial",
                   "JGJ 8-2007",
                   {Row("JGJ 80-2016", kIn), Row("JGJ 8-2007", kOut), Row("JGJ 8-2016", kIn)},
                   Verdict::kSuperseded,
                   "JGJ 8-2016",
                   kFoundWords},
        ChoiceCase{"OnlyLongerNamesakes",
                   "JGJ 8-2016",
                   {Row("JGJ 80-2016", kIn), Row("JGJ 81-2002", kIn)},
                   Verdict::kNotListed,
                   "",
                   "网站未收录 JGJ 8；列出的是 JGJ 80-2016 等"},
        ChoiceCase{"OneLongerSerialListed",
                   "GB/T 50001-2017",
                   {Row("GB/T 500010-2010", kIn)},
                   Verdict::kNotListed,
                   "",
                   "网站未收录 GB/T 50001；列出的是 GB/T 500010-2010"},
        ChoiceCase{"SpaceBetweenCodeAndSerialOptional",
                   "GB50016-2014",
                   {Row("GB 500160-2020", kIn), Row("GB 50016-2014", kIn)},
                   Verdict::kCurrent,
                   "GB 50016-2014",
                   kFoundWords},
        ChoiceCase{"MandatoryAndRecommendedDiffer",
                   "GB 50001-2010",
                   {Row("GB/T 50001-2017", kIn)},
                   Verdict::kNotListed,
                   "",
                   "网站未收录 GB 50001；列出的是 GB/T 50001-2017"},
        ChoiceCase{"DottedSerialNotItsLongerPart",
                   "GB/T 14048.1-2012",
                   {Row("GB/T 14048.11-2016", kIn), Row("GB/T 14048.1-2023", kIn)},
                   Verdict::kSuperseded,
                   "GB/T 14048.1-2023",
                   kFoundWords},
        ChoiceCase{"LongerDottedSerial",
                   "GB/T 14048.11-2016",
                   {Row("GB/T 14048.1-2023", kIn), Row("GB/T 14048.11-2016", kIn)},
                   Verdict::kCurrent,
                   "GB/T 14048.11-2016",
                   kFoundWords},
        // "-01" after a letter serial is a part: JTG D60-01 is another standard than JTG D60.
        ChoiceCase{"LetterSerialNotItsPart",
                   "JTG D60-2015",
                   {Row("JTG D60-01-2004", kIn), Row("JTG D60-2015", kIn)},
                   Verdict::kCurrent,
                   "JTG D60-2015",
                   kFoundWords},
        ChoiceCase{"PartOfALetterSerial",
                   "JTG D60-01-2004",
                   {Row("JTG D60-2015", kIn), Row("JTG D60-01-2004", kIn)},
                   Verdict::kCurrent,
                   "JTG D60-01-2004",
                   kFoundWords},
        ChoiceCase{"TwoDigitYearWithdrawn",
                   "GB 50045-95",
                   {Row("GB 500450-2001", kIn), Row("GB 50045-95", kOut)},
                   Verdict::kWithdrawn,
                   "",
                   "已废止：网站列为废止，无现行版本"},
        // Without a year the row is undetermined, yet shows its own current standard.
        ChoiceCase{"NoYearShowsItsOwnStandard",
                   "GB 50016",
                   {Row("GB 500160-2020", kIn), Row("GB 50016-2014", kIn)},
                   Verdict::kNotListed,
                   "GB 50016-2014",
                   "编号缺少四位年份"},
        // A short serial without a year is no citation to the reader: its keyword decides.
        ChoiceCase{"NoYearShortSerial",
                   "JGJ 33",
                   {Row("JGJ 330-2014", kIn), Row("JGJ 33-2012", kIn)},
                   Verdict::kNotListed,
                   "JGJ 33-2012",
                   "编号缺少四位年份"},
        ChoiceCase{"NothingListed", "JGJ 8-2016", {}, Verdict::kNotListed, "", "网站未收录该编号"}),
    test::CaseName());

// A page read without its rows (its current record only) is judged by that record alike.
TEST(JudgeLookup, RecordWithoutRowsIsChosenAlike) {
  StandardLookup page;
  page.http_status = 200;
  page.record = {"JGJ 80-2016", "T", "", "", kRecordCurrent};
  EXPECT_EQ(JudgeLookup("JGJ 8-2016", "JGJ8", &page).verdict, Verdict::kNotListed);
  EXPECT_EQ(JudgeLookup("JGJ 80-2002", "JGJ80", &page).verdict, Verdict::kSuperseded);
}

// An error page's rows say nothing of the cited standard.
TEST(JudgeLookup, ErrorPageRowsIgnored) {
  StandardLookup page = Page({Row("GB 50045-95", Standing::kWithdrawn)});
  page.http_status = 503;
  const Judgement got = JudgeLookup("GB 50045-95", "GB50045", &page);
  EXPECT_EQ(got.reason, (RowReason{Outcome::kHttpError, 503, {}}));
  EXPECT_EQ(got.verdict, Verdict::kFailed);
}

// The judgement keeps where and when the page was read, and the rows of the cited standard
// it read them from.
TEST(JudgeLookup, KeepsTheSiteTheAddressTheTimeAndTheRowsItUsed) {
  StandardLookup page = Page({k2001, Row("GB 50016-2014", Standing::kCurrent), k2017, k2024});
  page.site = "national";
  page.address = "http://s.example/s.jsp?keyword=GBT50001&pageNum=1";
  page.read_at = "2026-12-08 22:00:13";
  const Judgement got = JudgeLookup("GB/T 50001-2017", "GBT50001", &page);
  EXPECT_EQ(got.site, "national");
  EXPECT_EQ(got.address, page.address);
  EXPECT_EQ(got.read_at, page.read_at);
  EXPECT_EQ(got.listed, (std::vector<ListedStandard>{k2001, k2017, k2024}));
  // The cited standard's current row, not the page's first.
  EXPECT_EQ(got.record.number, k2017.number);
  EXPECT_FALSE(got.replaced_by.has_value());
  // Nothing asked: no site, no address, yet a time.
  const Judgement empty = JudgeLookup("2010", "", nullptr);
  EXPECT_TRUE(empty.site.empty());
  EXPECT_TRUE(empty.address.empty());
  EXPECT_FALSE(empty.read_at.empty());
}

// A 现行 row whose citation names a title says whether the site's title is that one, in every
// place the standard is cited; no other row does.
TEST(JudgeLookup, ChecksTheCitedTitleOfACurrentStandard) {
  const StandardLookup page =
      Page({Row("GB 50017-2017", Standing::kCurrent)}, "钢结构设计标准（2020年版）");
  struct Case {
    const char* number;
    const char* title;
    std::optional<bool> matches;
    // The same standard cited again further on, under these titles.
    std::vector<std::string> again = {};
  } const cases[] = {
      {"GB 50017-2017", "钢结构设计标准", true},
      {"GB 50017-2017", "钢结构 设计标准（2018年版）", true},
      {"GB 50017-2017", "钢结构设计规范", false},
      {"GB 50017-2017", "", std::nullopt},
      {"GB 50017-2003", "钢结构设计规范", std::nullopt},  // 有新标准
      {"GB 50017-2017", "钢结构设计标准", false, {"钢结构设计标准", "钢结构设计规范"}},
      {"GB 50017-2017", "钢结构设计规范", false, {"钢结构设计标准"}},
      {"GB 50017-2017", "钢结构设计标准", true, {"", "钢结构设计标准"}},
      {"GB 50017-2017", "", false, {"钢结构规范"}},
      {"GB 50017-2017", "", std::nullopt, {""}},
      {"GB 50017-2003", "钢结构设计标准", std::nullopt, {"钢结构设计规范"}},
  };
  for (const Case& c : cases) {
    const Judgement got = JudgeLookup(c.number, "GB50017", &page, {"", c.title, c.again});
    EXPECT_EQ(got.notes.title_matches, c.matches)
        << c.number << " " << c.title << " and " << c.again.size() << " more";
  }
}

// A lookup stopped before its answer leaves what the row showed; a row with no answer then
// counts as failed.
TEST(StoppedLookup, KeepsTheAnswerAndFailsTheUndetermined) {
  const Judgement current = JudgeLookup("GB/T 50001-2017", "GBT50001", nullptr);
  struct Case {
    Verdict before;
    Verdict after;
  } const cases[] = {
      {Verdict::kNone, Verdict::kNone},
      {Verdict::kCurrent, Verdict::kCurrent},
      {Verdict::kCurrentComing, Verdict::kCurrentComing},
      {Verdict::kSuperseded, Verdict::kSuperseded},
      {Verdict::kWithdrawn, Verdict::kFailed},
      {Verdict::kNotInForce, Verdict::kFailed},
      {Verdict::kNotListed, Verdict::kFailed},
      {Verdict::kFailed, Verdict::kFailed},
  };
  for (const Case& c : cases) {
    Judgement before = current;
    before.verdict = c.before;
    before.record.number = "GB/T 50001-2017";
    before.notes.site_edition = "2018年版";
    const Judgement after = StoppedLookup(before);
    EXPECT_EQ(after.verdict, c.after) << SpecOf(c.before).summary_label;
    EXPECT_EQ(after.reason, (RowReason{Outcome::kAborted, 0, {}}));
    EXPECT_EQ(after.record, before.record);
    EXPECT_EQ(after.notes, before.notes);
    EXPECT_FALSE(after.read_at.empty());
  }
}

}  // namespace
}  // namespace kelvaro
