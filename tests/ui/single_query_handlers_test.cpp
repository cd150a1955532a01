#include <gtest/gtest.h>

#include <ostream>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <string>
#include <vector>

#include "handlers_test_fixture.h"
#include "query/single_query.h"

namespace kelvaro::handlers_test {
namespace {

std::string ReportBox(Program& program) {
  return program.window()->report_box()->toPlainText().toStdString();
}

// The core's report as the box shows it: each CR LF one line break.
std::string CoreReport(const std::string& number_utf8) {
  std::string text = GbkToUtf8(SingleQueryReport(RunSingleQuery(Utf8ToGbk(number_utf8))));
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    shown += text[i];
  }
  return shown;
}

std::string Address(const LoggedSite& site, const std::string& keyword) {
  return site.prefix() + "/s.jsp?keyword=" + keyword + "&pageNum=1";
}

struct ReportCase {
  const char* name;
  std::string number;
  // The report with "{address}" for the search address.
  std::string shape;
  std::string keyword;
};
void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

class ReportTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportTest, ReportBoxHoldsTheReportLineForLine) {
  LoggedSite site;
  Program program;
  const ReportCase& c = GetParam();
  program.window()->number_box()->setText(QString::fromStdString(c.number));
  program.window()->single_query_button()->click();
  std::string expected = c.shape;
  expected.replace(expected.find("{address}"), 9, Address(site, c.keyword));
  EXPECT_EQ(ReportBox(program), expected);
  EXPECT_EQ(ReportBox(program), CoreReport(c.number));
  // The number box is not changed.
  EXPECT_EQ(program.window()->number_box()->text().toStdString(), c.number);
  EXPECT_TRUE(program.window()->single_query_button()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ReportTest,
    ::testing::Values(
        ReportCase{
            "SupersededOnTheDefaultNumber", "GB/T50001-2010",
            "\n标准状态：未知\n\n最新标准：GB/T 50001-2017\n\n标准名称：房屋建筑制图统一标准\n\n"
            "发布日期：2017-09-27\n\n发布部门：住房和城乡建设部\n\n查询结果网页：{address}\n\n",
            "GBT50001"},
        ReportCase{"Current", "GB/T 50103-2010",
                   "\n标准状态：现行\n\n标准编号：GB/T 50103-2010\n\n标准名称：总图制图标准\n\n"
                   "查询结果网页：{address}\n\n",
                   "GBT50103"},
        ReportCase{"NotFound", "XYZ99999-2020", "\n状态未知\n\n请查看查询结果网页：{address}\n\n",
                   "XYZ99999"},
        ReportCase{"EmptyBox", "", "\n状态未知\n\n请查看查询结果网页：{address}\n\n", ""}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.name); });

TEST(SingleQueryHandlerTest, TheDefaultNumberIsLookedUpAsTheBoxHoldsIt) {
  LoggedSite site;
  Program program;
  EXPECT_EQ(program.window()->number_box()->text().toStdString(), "GB/T50001-2010");
  program.window()->single_query_button()->click();
  EXPECT_EQ(ReportBox(program), CoreReport("GB/T50001-2010"));
  EXPECT_EQ(ReportBox(program).rfind("\n标准状态：未知\n\n", 0), 0u);
}

TEST(SingleQueryHandlerTest, EmptyBoxMakesNoRequest) {
  LoggedSite site;
  Program program;
  program.window()->number_box()->setText(QStringLiteral("  "));
  program.window()->single_query_button()->click();
  EXPECT_EQ(ReportBox(program), CoreReport(""));
  program.window()->number_box()->setText(QStringLiteral("GB/T50001-2010"));
  program.window()->single_query_button()->click();
  const auto requests = site.SettledRequests(1);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(LoggedSite::CountKeyword(requests, "GBT50001"), 1);
}

TEST(SingleQueryHandlerTest, SecondClickReplacesTheReport) {
  LoggedSite site;
  Program program;
  program.window()->report_box()->setPlainText(QStringLiteral("typed by the user"));
  program.window()->single_query_button()->click();
  const std::string first = ReportBox(program);
  EXPECT_EQ(first, CoreReport("GB/T50001-2010"));
  program.window()->single_query_button()->click();
  EXPECT_EQ(ReportBox(program), first);
  program.window()->number_box()->setText(QStringLiteral("GB/T50103-2010"));
  program.window()->single_query_button()->click();
  EXPECT_EQ(ReportBox(program), CoreReport("GB/T50103-2010"));
}

TEST(SingleQueryHandlerTest, WindowKeepsServingEventsWhileTheSiteIsSlow) {
  LoggedSite site({"--delay-ms", "500"});
  Program program;
  QPushButton* button = program.window()->single_query_button();
  int ticks = 0;
  int ticks_enabled = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++ticks;
    ticks_enabled += button->isEnabled() ? 1 : 0;
  });
  timer.start(50);
  const auto start = Clock::now();
  button->click();
  timer.stop();
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(450));
  EXPECT_GE(ticks, 3);
  EXPECT_EQ(ticks_enabled, 0);
  EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(ReportBox(program), CoreReport("GB/T50001-2010"));
}

TEST(SingleQueryHandlerTest, LongReportScrollsTheCaretIntoView) {
  LoggedSite site;
  Program program;
  QPlainTextEdit* box = program.window()->report_box();
  box->setFixedHeight(60);  // too small for the report
  program.window()->single_query_button()->click();
  EXPECT_EQ(ReportBox(program), CoreReport("GB/T50001-2010"));
  EXPECT_GT(box->verticalScrollBar()->maximum(), 0);
  EXPECT_GT(box->verticalScrollBar()->value(), 0);
  EXPECT_TRUE(box->textCursor().atEnd());
  EXPECT_TRUE(box->viewport()->rect().intersects(box->cursorRect()));
}

TEST(SingleQueryHandlerTest, ClosingTheWindowMeanwhileWritesNothingAndEndsPromptly) {
  LoggedSite site({"--delay-ms", "6000"});
  Program program;
  QTimer::singleShot(200, program.window(), [&] { program.window()->close(); });
  const auto start = Clock::now();
  program.window()->single_query_button()->click();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(4000));  // the request was cut short
  EXPECT_EQ(ReportBox(program), "\n");
  EXPECT_TRUE(program.window()->single_query_button()->isEnabled());
}

}  // namespace
}  // namespace kelvaro::handlers_test
