#include <gtest/gtest.h>

#include <ostream>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "handlers_test_fixture.h"

namespace kelvaro::handlers_test {
namespace {

std::vector<std::string> KnownNumberLines() {
  std::vector<std::string> lines;
  for (const Expected& e : KnownNumbers()) lines.push_back(e.number);
  return lines;
}

// Counts the runs a batch or removal starts, and passes them on.

TEST(BatchHandlerTest, CurrentSupersededAndUnknownWithFoundNumberAndTitle) {
  LoggedSite site;
  Program program;
  program.ImportLines(KnownNumberLines());
  program.window()->batch_query_button()->click();
  ASSERT_TRUE(program.WaitForWorkers());
  ASSERT_EQ(program.model().RowCount(), static_cast<int>(KnownNumbers().size()));
  ExpectEveryRowHoldsItsOwnResult(program);
  // Spot checks that do not lean on the table above.
  EXPECT_EQ(program.Cell(0, 2), "有新标准");
  EXPECT_EQ(program.Cell(0, 3), "GB/T 50001-2017");
  EXPECT_EQ(program.Cell(1, 2), "现行");
  EXPECT_EQ(program.Cell(0, 0), "1");
  EXPECT_EQ(program.Cell(0, 1), "GB/T50001-2010");  // column 1 never changes
}

class SpeedTest : public ::testing::TestWithParam<const char*> {};

TEST_P(SpeedTest, EverySpeedTextFinishesTheBatch) {
  LoggedSite site;
  Program program;
  program.ImportLines(KnownNumberLines());
  program.window()->speed_box()->setText(QString::fromUtf8(GetParam()));
  program.window()->batch_query_button()->click();
  ASSERT_TRUE(program.WaitForWorkers());
  ExpectEveryRowHoldsItsOwnResult(program);
  const auto requests = site.SettledRequests(KnownNumbers().size());
  EXPECT_EQ(requests.size(), KnownNumbers().size());
  EXPECT_LE(LoggedSite::MaxInFlight(requests), 1);
}

INSTANTIATE_TEST_SUITE_P(Speeds, SpeedTest,
                         ::testing::Values("2", "3x", "３", "abc", "0", "", "-5", "99999999999"));

TEST(BatchHandlerTest, EmptyAndFourCharacterNumbersEndUnknownWithoutARequest) {
  LoggedSite site;
  Program program;
  program.ImportLines({"", "2010", "GB/T50001-2010", "  -2010 ", "GB-1"});
  // Earlier results are overwritten.
  program.model().SetCellText(0, 3, "stale");
  program.window()->batch_query_button()->click();
  ASSERT_TRUE(program.WaitForWorkers());
  for (int r : {0, 1, 3, 4}) {
    EXPECT_EQ(program.Cell(r, 2), "未知") << r;
    EXPECT_EQ(program.Cell(r, 3), "") << r;
    EXPECT_EQ(program.Cell(r, 4), "") << r;
  }
  EXPECT_EQ(program.Cell(2, 2), "有新标准");
  const auto requests = site.SettledRequests(1);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(LoggedSite::CountKeyword(requests, "GBT50001"), 1);
}

TEST(BatchHandlerTest, ThousandRowsAllFilledWithOneRequestInFlight) {
  LoggedSite site;
  Program program;
  std::vector<std::string> lines;
  const auto known = KnownNumberLines();
  for (int i = 0; i < 1000; ++i) lines.push_back(known[static_cast<std::size_t>(i) % known.size()]);
  program.ImportLines(lines);
  program.window()->speed_box()->setText(QStringLiteral("16"));
  program.window()->batch_query_button()->click();
  ASSERT_TRUE(program.WaitForWorkers(std::chrono::seconds(90)));
  ASSERT_EQ(program.model().RowCount(), 1000);
  ExpectEveryRowHoldsItsOwnResult(program);
  // One request per keyword: the rows that share one are classified from its page.
  const auto requests = site.SettledRequests(KnownNumbers().size());
  EXPECT_EQ(requests.size(), KnownNumbers().size());
  for (const Expected& e : KnownNumbers()) {
    EXPECT_EQ(LoggedSite::CountKeyword(requests, e.keyword), 1) << e.number;
  }
  EXPECT_EQ(LoggedSite::MaxInFlight(requests), 1);
}

TEST(BatchHandlerTest, SecondClickDuringABatchRunsANestedBatch) {
  // Each page takes 50 ms, so the first pages are still on their way when the second
  // click comes (later rows share those pages and go fast).
  LoggedSite site({"--delay-ms", "50"});
  Program program;
  std::vector<std::string> lines;
  const auto known = KnownNumberLines();
  for (int i = 0; i < 40; ++i) lines.push_back(known[static_cast<std::size_t>(i) % known.size()]);
  program.ImportLines(lines);
  program.window()->speed_box()->setText(QStringLiteral("2"));
  int nested = 0;
  QTimer::singleShot(20, program.window(), [&] {
    ++nested;
    program.window()->batch_query_button()->click();
  });
  program.window()->batch_query_button()->click();
  ASSERT_TRUE(program.WaitForWorkers());
  EXPECT_EQ(nested, 1);
  ExpectEveryRowHoldsItsOwnResult(program);
  // The nested batch reuses the pages the outer one fetched: one request per keyword.
  const auto requests = site.SettledRequests(KnownNumbers().size());
  EXPECT_EQ(requests.size(), KnownNumbers().size());
  EXPECT_LE(LoggedSite::MaxInFlight(requests), 1);
}

// --- Removal by status -------------------------------------------------------------

void SetStatuses(Program& program, const std::vector<std::string>& statuses) {
  for (std::size_t i = 0; i < statuses.size(); ++i) {
    const int row = program.model().AppendRow(std::to_string(i + 1));
    program.model().SetCellText(row, 1, "N" + std::to_string(i + 1));
    program.model().SetCellText(row, 2, Utf8ToGbk(statuses[i]));
  }
}

std::vector<std::string> Column(Program& program, int column) {
  std::vector<std::string> cells;
  for (int r = 0; r < program.model().RowCount(); ++r) cells.push_back(program.Cell(r, column));
  return cells;
}

struct RemovalCase {
  const char* name;
  WindowButton button;
  std::vector<std::string> statuses;
  std::vector<std::string> ordinals_left;
};
void PrintTo(const RemovalCase& c, std::ostream* os) { *os << c.name; }

class RemovalTest : public ::testing::TestWithParam<RemovalCase> {};

TEST_P(RemovalTest, RemovesExactlyTheRowsWithTheStatus) {
  Program program;
  const RemovalCase& c = GetParam();
  SetStatuses(program, c.statuses);
  program.window()->button(c.button)->click();
  ASSERT_TRUE(program.WaitForWorkers());
  EXPECT_EQ(Column(program, 0), c.ordinals_left);
  // The other cells of the rows left keep their texts.
  for (int r = 0; r < program.model().RowCount(); ++r) {
    const std::size_t original = std::stoul(program.Cell(r, 0)) - 1;
    EXPECT_EQ(program.Cell(r, 1), "N" + std::to_string(original + 1));
    EXPECT_EQ(program.Cell(r, 2), c.statuses[original]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, RemovalTest,
    ::testing::Values(RemovalCase{"CurrentOnes",
                                  WindowButton::kRemoveCurrent,
                                  {"现行", "有新标准", "现行", "未知"},
                                  {"2", "4"}},
                      RemovalCase{"SupersededOnes",
                                  WindowButton::kRemoveSuperseded,
                                  {"现行", "有新标准", "现行", "未知"},
                                  {"1", "3", "4"}},
                      RemovalCase{"TrailingSpaceStays",
                                  WindowButton::kRemoveCurrent,
                                  {"现行 ", "现行", " 现行", "现行现行"},
                                  {"1", "3", "4"}},
                      RemovalCase{"UnqueriedRowsStay",
                                  WindowButton::kRemoveSuperseded,
                                  {"", "有新标准", "", "有新标准"},
                                  {"1", "3"}},
                      RemovalCase{"UnqueriedRowsStayForCurrentToo",
                                  WindowButton::kRemoveCurrent,
                                  {"", "", "未知"},
                                  {"1", "2", "3"}},
                      RemovalCase{"EveryRowMatches",
                                  WindowButton::kRemoveCurrent,
                                  std::vector<std::string>(57, "现行"),
                                  {}},
                      RemovalCase{
                          "ManyRowsEveryOtherMatches",
                          WindowButton::kRemoveSuperseded,
                          {"有新标准", "未知", "有新标准", "未知",     "有新标准", "未知",
                           "有新标准", "未知", "有新标准", "未知",     "有新标准", "未知",
                           "有新标准", "未知", "有新标准", "未知",     "有新标准", "未知",
                           "有新标准", "未知", "有新标准", "有新标准", "有新标准", "有新标准"},
                          {"2", "4", "6", "8", "10", "12", "14", "16", "18", "20"}}),
    [](const ::testing::TestParamInfo<RemovalCase>& info) { return std::string(info.param.name); });

TEST(RemovalHandlerTest, RemovalDuringABatchNeverWritesIntoAnotherRow) {
  LoggedSite site({"--delay-ms", "3"});
  Program program;
  std::vector<std::string> lines;
  const auto known = KnownNumberLines();
  for (int i = 0; i < 60; ++i)
    lines.push_back(known[static_cast<std::size_t>(i * 7) % known.size()]);
  program.ImportLines(lines);
  program.window()->speed_box()->setText(QStringLiteral("4"));
  int removals = 0;
  for (int at : {60, 120, 200, 260}) {
    QTimer::singleShot(at, program.window(), [&program, &removals, at] {
      ++removals;
      program.window()
          ->button(at % 120 == 0 ? WindowButton::kRemoveSuperseded : WindowButton::kRemoveCurrent)
          ->click();
    });
  }
  program.window()->batch_query_button()->click();
  ASSERT_TRUE(program.WaitForWorkers());
  ASSERT_TRUE(PumpUntil(program.pump(), [&] { return removals == 4; }));
  ASSERT_TRUE(program.WaitForWorkers());
  ExpectEveryRowHoldsItsOwnResult(program);
  EXPECT_LT(program.model().RowCount(), 60);  // some rows went
  const auto requests = site.SettledRequests(static_cast<std::size_t>(program.model().RowCount()));
  EXPECT_LE(requests.size(), 60u);
  // No keyword was asked twice, and the keyword of every row left was asked.
  for (const Expected& e : KnownNumbers()) {
    int rows_with = 0;
    int rows_left = 0;
    for (const std::string& line : lines) rows_with += line == e.number ? 1 : 0;
    for (const std::string& n : Column(program, 1)) rows_left += n == e.number ? 1 : 0;
    const int asked = LoggedSite::CountKeyword(requests, e.keyword);
    EXPECT_LE(asked, std::min(rows_with, 1)) << e.number;
    EXPECT_GE(asked, std::min(rows_left, 1)) << e.number;
  }
}

}  // namespace
}  // namespace kelvaro::handlers_test
