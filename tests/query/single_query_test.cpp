// The single query against the sample site, and its empty-keyword path without a request.
#include "query/single_query.h"

#include <gtest/gtest.h>

#include <ostream>

#include <atomic>
#include <memory>

#include "query/number.h"
#include "query/report.h"
#include "rows/verdicts.h"
#include "site/standard_site.h"
#include "support/named_case.h"
#include "support/sample_site.h"
#include "text/encoding.h"
#include "web/request_object.h"

namespace kelvaro {
namespace {

class SingleQueryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { site_ = new test::SampleSite(); }
  static void TearDownTestSuite() {
    delete site_;
    site_ = nullptr;
  }
  static Site site() { return SiteAt(site_->prefix()); }

  static test::SampleSite* site_;
};

test::SampleSite* SingleQueryTest::site_ = nullptr;

struct SingleCase {
  const char* name;
  Text input;
  Text cleaned;
  Text keyword;
  Text found_number;  // empty: no current standard
  Text title;
  Text report_status_line;
};
KELVARO_PRINT_CASES_BY_NAME()

class SingleQueryCases : public SingleQueryTest,
                         public ::testing::WithParamInterface<SingleCase> {};

TEST_P(SingleQueryCases, LooksUpAndReports) {
  const SingleCase& c = GetParam();
  const Text box = c.input;
  const SingleQueryResult result = RunSingleQuery(site(), box);
  EXPECT_EQ(box, c.input);  // the box's text is a copy, left alone
  EXPECT_TRUE(result.requested);
  EXPECT_EQ(result.cleaned, c.cleaned);
  EXPECT_EQ(result.keyword, c.keyword);
  EXPECT_EQ(result.lookup.address, site_->prefix() + "/s.jsp?keyword=" + c.keyword + "&pageNum=1");
  EXPECT_EQ(result.lookup.record.number, c.found_number);
  EXPECT_EQ(result.lookup.record.title, c.title);
  EXPECT_EQ(result.lookup.record.status,
            c.found_number.empty() ? kRecordNotFound : StatusWord(Verdict::kCurrent));
  const Text report = SingleQueryReport(result);
  // The report's lines, then any 说明 the page adds (GB/T 50001-2024 coming, for one).
  const Text lines = ReportText(result.lookup.record, result.lookup.address, result.cleaned);
  EXPECT_EQ(report.substr(0, lines.size()), lines);
  EXPECT_EQ(report.substr(0, 2 + c.report_status_line.size()), "\r\n" + c.report_status_line);
  EXPECT_NE(report.find(result.lookup.address), Text::npos);
}

INSTANTIATE_TEST_SUITE_P(
    SampleSite, SingleQueryCases,
    ::testing::Values(
        SingleCase{"Current", "GB 50016-2014", "GB500162014", "GB50016", "GB 50016-2014",
                   Gbk(u8"建筑设计防火规范"), Gbk(u8"标准状态：现行")},
        SingleCase{"Superseded", "GB/T50001-2010", "GBT500012010", "GBT50001", "GB/T 50001-2017",
                   Gbk(u8"房屋建筑制图统一标准"), Gbk(u8"标准状态：未知")},
        SingleCase{"SpacesOfBothWidths", Gbk(u8" GB/T　50103-2010　"), "GBT501032010", "GBT50103",
                   "GB/T 50103-2010", Gbk(u8"总图制图标准"), Gbk(u8"标准状态：现行")},
        SingleCase{"Unknown", "GB/T 99999-2010", "GBT999992010", "GBT99999", "", "",
                   Gbk(u8"状态未知")}),
    test::CaseName());

// Counts request objects made, failing every request (no object).
class CountingFactory {
 public:
  CountingFactory() {
    auto count = count_;
    SetRequestObjectFactory([count](const Text&) -> RequestObjectHandle {
      count->fetch_add(1);
      return nullptr;
    });
  }
  ~CountingFactory() { SetRequestObjectFactory({}); }
  int count() const { return count_->load(); }

 private:
  std::shared_ptr<std::atomic<int>> count_ = std::make_shared<std::atomic<int>>(0);
};

TEST(SingleQueryEmptyKeyword, MakesNoRequestAndGivesTheNotFoundReport) {
  const Site site = SiteAt("http://127.0.0.1:9");
  CountingFactory factory;
  for (const Text& box : {Text(""), Text("ABCD"), Text(" /-. "), Gbk(u8"　GB1-2　")}) {
    SCOPED_TRACE(box);
    const SingleQueryResult result = RunSingleQuery(site, box);
    EXPECT_FALSE(result.requested);
    EXPECT_EQ(result.keyword, "");
    EXPECT_EQ(result.lookup.address, "http://127.0.0.1:9/s.jsp?keyword=&pageNum=1");
    EXPECT_EQ(result.lookup.record.status, kRecordNotFound);
    EXPECT_EQ(result.lookup.record.number, "");
    EXPECT_EQ(result.lookup.record.title, "");
    EXPECT_EQ(SingleQueryReport(result), "\r\n" + Gbk(u8"状态未知") + "\r\n\r\n" +
                                             Gbk(u8"请查看查询结果网页：") + result.lookup.address +
                                             "\r\n\r\n");
  }
  EXPECT_EQ(factory.count(), 0);
  // Five bytes after cleaning do search (a failed request: the not-found record); a
  // two-digit year is no part of the keyword.
  const SingleQueryResult result = RunSingleQuery(site, "GB1-23");
  EXPECT_TRUE(result.requested);
  EXPECT_EQ(result.keyword, "GB1");
  EXPECT_EQ(result.lookup.record.status, kRecordNotFound);
  EXPECT_EQ(factory.count(), 1);
}

}  // namespace
}  // namespace kelvaro
