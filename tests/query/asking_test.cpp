#include "query/asking.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "query/number.h"
#include "query/verdict.h"
#include "rows/reason.h"
#include "site/national_site.h"
#include "support/named_case.h"
#include "support/sites.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

const Site kSite{"national", "http://s.example", &NationalSitePages()};

ListedStandard Row(const char* number, Standing standing, const char* detail = "") {
  ListedStandard row;
  row.number = number;
  row.title = Text("title of ") + number;
  row.standing = standing;
  row.status = standing == Standing::kCurrent     ? Utf8ToGbk("现行")
               : standing == Standing::kWithdrawn ? Utf8ToGbk("废止")
                                                  : Utf8ToGbk("即将实施");
  row.detail = detail;
  return row;
}

StandardLookup Page(std::vector<ListedStandard> rows, int page_count = 1) {
  StandardLookup lookup;
  lookup.http_status = 200;
  lookup.kind = rows.empty() ? PageKind::kNoHit : PageKind::kResults;
  lookup.page_count = page_count;
  lookup.record.status = kRecordNotFound;
  lookup.listed = std::move(rows);
  return lookup;
}

DetailLookup Detail(const char* replacements_utf8) {
  DetailLookup detail;
  detail.http_status = 200;
  detail.records =
      ReadDetailPage(Utf8ToGbk(std::string("<strong>替代情况：</strong>") + replacements_utf8));
  return detail;
}

// The site as a store that knows every answer: nothing goes on the wire, and every question
// is written down in order. Questions it has no answer for get a page with no hit, or a detail
// page that is not there (404).
class ScriptedSite final : public LookupStore {
 public:
  std::map<Text, StandardLookup> pages;                        // first pages, by keyword
  std::map<std::pair<Text, int>, StandardLookup> later_pages;  // by keyword and page
  std::map<Text, DetailLookup> details;                        // by detail link
  std::vector<std::string> asked;

  std::optional<StandardLookup> Find(const Site&, const Text& keyword, int page) override {
    if (page != 1) {
      asked.push_back("search " + keyword + " page " + std::to_string(page));
      const auto it = later_pages.find({keyword, page});
      return it == later_pages.end() ? Page({}) : it->second;
    }
    asked.push_back("search " + keyword);
    const auto it = pages.find(keyword);
    return it == pages.end() ? Page({}) : it->second;
  }
  void Keep(const Site&, const Text&, int, const StandardLookup&) override {}
  std::optional<DetailLookup> FindDetail(const Text& address) override {
    const Text link = address.substr(kSite.prefix.size());
    asked.push_back("detail " + link);
    const auto it = details.find(link);
    if (it != details.end()) return it->second;
    DetailLookup missing;
    missing.http_status = 404;
    return missing;
  }
  void KeepDetail(const DetailLookup&) override {}
};

// The cited number looked up and judged as a row is, successors included.
Judgement Judge(ScriptedSite& site, const char* cited) {
  Asking asking{kSite, &site};
  Text keyword = cited;
  keyword = NormalizeNumber(keyword);
  const std::optional<StandardLookup> lookup = LookUpCited(asking, cited, keyword);
  EXPECT_TRUE(lookup.has_value());
  Judgement judgement = JudgeLookup(cited, keyword, &*lookup);
  FindSuccessor(asking, cited, judgement);
  EXPECT_EQ(asking.requests, 0);  // the store answered everything
  return judgement;
}

struct ChainCase {
  const char* name;
  std::map<Text, StandardLookup> pages;
  std::map<Text, DetailLookup> details;
  const char* cited;
  const char* successor;  // "" for none
  const char* words;
  std::vector<std::string> asked;
};
KELVARO_PRINT_CASES_BY_NAME()

class SuccessorTest : public ::testing::TestWithParam<ChainCase> {};

TEST_P(SuccessorTest, FollowsTheDetailPages) {
  const ChainCase& c = GetParam();
  ScriptedSite site;
  site.pages = c.pages;
  site.details = c.details;
  const Judgement got = Judge(site, c.cited);
  EXPECT_EQ(got.verdict, Verdict::kWithdrawn);
  EXPECT_EQ(got.replaced_by.has_value() ? got.replaced_by->number : Text(), Text(c.successor));
  EXPECT_EQ(ReasonDescription(got.reason), c.words);
  EXPECT_EQ(site.asked, c.asked);
}

INSTANTIATE_TEST_SUITE_P(
    Chains, SuccessorTest,
    ::testing::Values(
        // The successor named is itself withdrawn, but its own serial has a current edition.
        ChainCase{"SuccessorsLaterEdition",
                  {{"GBJ16", Page({Row("GBJ 16-87", Standing::kWithdrawn, "/detail/1.html")})},
                   {"GB50016", Page({Row("GB 50016-2006", Standing::kWithdrawn, "/detail/2.html"),
                                     Row("GB 50016-2014", Standing::kCurrent)})}},
                  {{"/detail/1.html", Detail("被GB 50016-2006代替")}},
                  "GBJ 16-87",
                  "GB 50016-2014",
                  "已废止，被 GB 50016-2014 代替",
                  {"search GBJ16", "detail /detail/1.html", "search GB50016"}},
        ChainCase{"WithdrawnSuccessorFollowed",
                  {{"GB50045", Page({Row("GB 50045-95", Standing::kWithdrawn, "/detail/a.html")})},
                   {"GB50099", Page({Row("GB 50099-2001", Standing::kWithdrawn, "/detail/b.html")})},
                   {"GB50016", Page({Row("GB 50016-2014", Standing::kCurrent)})}},
                  {{"/detail/a.html", Detail("代替GBJ 45-82;被GB 50099-2001代替")},
                   {"/detail/b.html", Detail("被GB 50016-2014代替")}},
                  "GB 50045-95",
                  "GB 50016-2014",
                  "已废止，被 GB 50016-2014 代替",
                  {"search GB50045", "detail /detail/a.html", "search GB50099",
                   "detail /detail/b.html", "search GB50016"}},
        // The detail page's word stands for a successor the site does not list.
        ChainCase{"SuccessorNotListed",
                  {{"GB50019", Page({Row("GB 50019-2003", Standing::kWithdrawn, "/detail/c.html")})}},
                  {{"/detail/c.html", Detail("被GB 50736-2012代替")}},
                  "GB 50019-2003",
                  "GB 50736-2012",
                  "已废止，被 GB 50736-2012 代替",
                  {"search GB50019", "detail /detail/c.html", "search GB50736"}},
        ChainCase{"ALoop",
                  {{"GB1", Page({Row("GB 1-2000", Standing::kWithdrawn, "/d/1")})},
                   {"GB2", Page({Row("GB 2-2000", Standing::kWithdrawn, "/d/2")})}},
                  {{"/d/1", Detail("被GB 2-2000代替")}, {"/d/2", Detail("被GB 1-2000代替")}},
                  "GB 1-2000",
                  "",
                  "已废止：网站列为废止，无现行版本",
                  {"search GB1", "detail /d/1", "search GB2", "detail /d/2"}},
        // Three withdrawn successors are followed; a fourth ends the chain with none.
        ChainCase{"TooLongAChain",
                  {{"GB1", Page({Row("GB 1-2000", Standing::kWithdrawn, "/d/1")})},
                   {"GB2", Page({Row("GB 2-2000", Standing::kWithdrawn, "/d/2")})},
                   {"GB3", Page({Row("GB 3-2000", Standing::kWithdrawn, "/d/3")})},
                   {"GB4", Page({Row("GB 4-2000", Standing::kWithdrawn, "/d/4")})},
                   {"GB5", Page({Row("GB 5-2000", Standing::kWithdrawn, "/d/5")})}},
                  {{"/d/1", Detail("被GB 2-2000代替")},
                   {"/d/2", Detail("被GB 3-2000代替")},
                   {"/d/3", Detail("被GB 4-2000代替")},
                   {"/d/4", Detail("被GB 5-2000代替")}},
                  "GB 1-2000",
                  "",
                  "已废止：网站列为废止，无现行版本",
                  {"search GB1", "detail /d/1", "search GB2", "detail /d/2", "search GB3",
                   "detail /d/3", "search GB4", "detail /d/4", "search GB5"}},
        ChainCase{"NoSuccessorNamed",
                  {{"GB1", Page({Row("GB 1-2000", Standing::kWithdrawn, "/d/1")})}},
                  {{"/d/1", Detail("自2015-05-01起部分代替GB 9-99")}},
                  "GB 1-2000",
                  "",
                  "已废止：网站列为废止，无现行版本",
                  {"search GB1", "detail /d/1"}},
        ChainCase{"DetailPageMissing",
                  {{"GB1", Page({Row("GB 1-2000", Standing::kWithdrawn, "/d/1")})}},
                  {},
                  "GB 1-2000",
                  "",
                  "已废止：网站列为废止，无现行版本（详情页未能读取，替代情况不明）",
                  {"search GB1", "detail /d/1"}},
        ChainCase{"DetailPageDamaged",
                  {{"GB1", Page({Row("GB 1-2000", Standing::kWithdrawn, "/d/1")})}},
                  {{"/d/1", [] {
                      DetailLookup damaged;
                      damaged.http_status = 200;
                      damaged.records = ReadDetailPage("<html><body>\xB1\xEA");
                      return damaged;
                    }()}},
                  "GB 1-2000",
                  "",
                  "已废止：网站列为废止，无现行版本（详情页未能读取，替代情况不明）",
                  {"search GB1", "detail /d/1"}},
        // A row without a link to its detail page: nothing more to ask.
        ChainCase{"NoDetailLink",
                  {{"GB1", Page({Row("GB 1-2000", Standing::kWithdrawn)})}},
                  {},
                  "GB 1-2000",
                  "",
                  "已废止：网站列为废止，无现行版本",
                  {"search GB1"}}),
    test::CaseName());

// Only a withdrawn standard's detail page is asked for.
TEST(FindSuccessor, NotAskedForAStandardInForceOrSuperseded) {
  ScriptedSite site;
  site.pages["GB50016"] = Page({Row("GB 50016-2006", Standing::kWithdrawn, "/d/1"),
                                Row("GB 50016-2014", Standing::kCurrent, "/d/2")});
  EXPECT_EQ(Judge(site, "GB 50016-2014").verdict, Verdict::kCurrent);
  const Judgement superseded = Judge(site, "GB 50016-2006");
  EXPECT_EQ(superseded.verdict, Verdict::kSuperseded);
  EXPECT_FALSE(superseded.replaced_by.has_value());
  EXPECT_EQ(site.asked, (std::vector<std::string>{"search GB50016", "search GB50016"}));
}

// A first page that is one of several and lists no row of the cited standard: the pages after
// it are asked until one lists it, six pages at most, and the rows of all of them judged.
TEST(LookUpCited, AsksTheNextPagesWhenTheCitedStandardIsNotOnTheFirst) {
  ScriptedSite site;
  site.pages["JGJ8"] = Page({Row("JGJ 80-2016", Standing::kCurrent)}, 3);
  site.later_pages[{"JGJ8", 2}] =
      Page({Row("JGJ 81-2002", Standing::kWithdrawn), Row("JGJ 8-2007", Standing::kWithdrawn),
            Row("JGJ 8-2016", Standing::kCurrent)},
           3);
  site.later_pages[{"JGJ8", 3}] = Page({Row("JGJ 89-2012", Standing::kCurrent)}, 3);
  site.pages["JGJ3"] = Page({Row("JGJ 33-2012", Standing::kCurrent)}, 9);
  for (int page = 2; page <= 9; ++page) {
    site.later_pages[{"JGJ3", page}] = Page({Row("JGJ 33-2001", Standing::kWithdrawn)}, 9);
  }
  site.pages["CJJ1"] = Page({Row("CJJ 11-2011", Standing::kCurrent)}, 4);
  site.later_pages[{"CJJ1", 2}] = Page({Row("CJJ 14-2016", Standing::kCurrent)}, 4);
  // Page 3 lies past the last hit after all: no rows, nothing more to ask.
  site.pages["JGJ1"] = Page({Row("JGJ 1-2014", Standing::kCurrent)}, 2);
  struct Case {
    const char* cited;
    Verdict verdict;
    const char* number;  // the site's current standard
    const char* words;
    std::vector<std::string> asked;
  } const cases[] = {
      {"JGJ 8-2016",
       Verdict::kCurrent,
       "JGJ 8-2016",
       "网站上查到该编号的现行标准",
       {"search JGJ8", "search JGJ8 page 2"}},
      {"JGJ 8-2007",
       Verdict::kSuperseded,
       "JGJ 8-2016",
       "网站上查到该编号的现行标准",
       {"search JGJ8", "search JGJ8 page 2"}},
      {"JGJ 3-2010",
       Verdict::kNotListed,
       "",
       "网站未收录 JGJ 3；列出的是 JGJ 33-2012 等",
       {"search JGJ3", "search JGJ3 page 2", "search JGJ3 page 3", "search JGJ3 page 4",
        "search JGJ3 page 5", "search JGJ3 page 6"}},
      {"CJJ 1-2008",
       Verdict::kNotListed,
       "",
       "网站未收录 CJJ 1；列出的是 CJJ 11-2011 等",
       {"search CJJ1", "search CJJ1 page 2", "search CJJ1 page 3"}},
      {"JGJ 1-2014",
       Verdict::kCurrent,
       "JGJ 1-2014",
       "网站上查到该编号的现行标准",
       {"search JGJ1"}},
  };
  for (const Case& c : cases) {
    site.asked.clear();
    const Judgement got = Judge(site, c.cited);
    EXPECT_EQ(got.verdict, c.verdict) << c.cited;
    EXPECT_EQ(got.record.number, c.number) << c.cited;
    EXPECT_EQ(ReasonDescription(got.reason), c.words) << c.cited;
    EXPECT_EQ(site.asked, c.asked) << c.cited;
  }
}

// A further page the site fails on is the row's answer, whatever the pages before it listed.
TEST(LookUpCited, AFurtherPageThatFailsIsTheAnswer) {
  ScriptedSite site;
  site.pages["JGJ8"] = Page({Row("JGJ 80-2016", Standing::kCurrent)}, 2);
  StandardLookup refused;
  refused.http_status = 200;
  refused.kind = PageKind::kRefused;
  site.later_pages[{"JGJ8", 2}] = refused;
  const Judgement got = Judge(site, "JGJ 8-2016");
  EXPECT_EQ(got.verdict, Verdict::kFailed);
  EXPECT_EQ(got.reason.outcome, Outcome::kRefused);
  EXPECT_EQ(site.asked, (std::vector<std::string>{"search JGJ8", "search JGJ8 page 2"}));
}

// On the sample site "JGJ8" lists 25 rows of JGJ 80 to 89 first: JGJ 8's are on page 2.
TEST(LookUpCited, FindsAShortSerialOnTheSampleSitesSecondPage) {
  test::LoggedSite logged;
  struct Case {
    const char* cited;
    const char* title;
    std::vector<std::string> targets;
  } const cases[] = {
      {"JGJ 8-2016",
       "建筑变形测量规范",
       {"/s.jsp?keyword=JGJ8&pageNum=1", "/s.jsp?keyword=JGJ8&pageNum=2"}},
      {"JGJ 80-2016", "建筑施工高处作业安全技术规范", {"/s.jsp?keyword=JGJ80&pageNum=1"}},
  };
  std::vector<std::string> sent;
  for (const Case& c : cases) {
    Asking asking{logged.site()};
    Text keyword = c.cited;
    keyword = NormalizeNumber(keyword);
    const std::optional<StandardLookup> lookup = LookUpCited(asking, c.cited, keyword);
    ASSERT_TRUE(lookup.has_value()) << c.cited;
    const Judgement got = JudgeLookup(c.cited, keyword, &*lookup);
    EXPECT_EQ(got.verdict, Verdict::kCurrent) << c.cited;
    EXPECT_EQ(got.record.number, c.cited);
    EXPECT_EQ(got.record.title, Utf8ToGbk(c.title)) << c.cited;
    EXPECT_EQ(asking.requests, static_cast<int>(c.targets.size())) << c.cited;
    sent.insert(sent.end(), c.targets.begin(), c.targets.end());
  }
  std::vector<std::string> logged_targets;
  for (const auto& request : logged.SettledRequests(sent.size())) {
    logged_targets.push_back(request.target);
  }
  EXPECT_EQ(logged_targets, sent);
}

}  // namespace
}  // namespace kelvaro
