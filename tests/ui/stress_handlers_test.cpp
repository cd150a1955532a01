// Closing the window and pressing buttons while a batch runs, many times over, with
// seeded random timing.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "handlers_test_fixture.h"

namespace kelvaro::handlers_test {
namespace {

std::vector<std::string> MixedNumbers(int count, std::mt19937& random) {
  const auto& known = KnownNumbers();
  std::uniform_int_distribution<std::size_t> pick(0, known.size() - 1);
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) lines.push_back(known[pick(random)].number);
  return lines;
}

// A row holds its own result or, when its lookup was cut short, nothing at all.
void ExpectOwnResultOrUntouched(Program& program, int iteration) {
  for (int r = 0; r < program.model().RowCount(); ++r) {
    const std::string number = program.Cell(r, 1);
    const Expected* e = FindKnown(number);
    ASSERT_NE(e, nullptr);
    const std::string status = program.Cell(r, 2);
    if (status.empty()) {
      EXPECT_EQ(program.Cell(r, 3), "") << "iteration " << iteration << " row " << r;
      EXPECT_EQ(program.Cell(r, 4), "") << "iteration " << iteration << " row " << r;
      continue;
    }
    EXPECT_EQ(status, e->status) << "iteration " << iteration << " row " << r << " " << number;
    EXPECT_EQ(program.Cell(r, 3), e->found) << "iteration " << iteration << " row " << r;
    EXPECT_EQ(program.Cell(r, 4), e->title) << "iteration " << iteration << " row " << r;
  }
}

TEST(HandlersStress, CloseTheWindowInTheMiddleOfABatchFiftyTimes) {
  LoggedSite site({"--delay-ms", "2"});
  std::mt19937 random(20261208);
  int closed_during_click = 0;
  int closed_after_click = 0;
  int rows_filled = 0;
  for (int iteration = 0; iteration < 50; ++iteration) {
    Program program;
    program.ImportLines(MixedNumbers(30, random));
    program.window()->speed_box()->setText(
        QString::number(std::uniform_int_distribution<int>(1, 8)(random)));
    const int close_at = std::uniform_int_distribution<int>(0, 60)(random);
    const bool during_click = (iteration % 2) == 0;
    Clock::time_point closed_at{};
    Clock::duration close_took{};
    auto close = [&] {
      closed_at = Clock::now();
      program.window()->close();
      close_took = Clock::now() - closed_at;
    };
    if (during_click) {
      QTimer::singleShot(close_at, program.window(), close);
      program.window()->batch_query_button()->click();
      ASSERT_TRUE(PumpUntil(
          program.pump(), [&] { return closed_at != Clock::time_point{}; },
          std::chrono::seconds(20)));
      ++closed_during_click;
    } else {
      program.window()->batch_query_button()->click();
      PumpUntil(
          program.pump(), [] { return false; }, std::chrono::milliseconds(close_at));
      close();
      ++closed_after_click;
    }
    // Closing waited for every worker.
    EXPECT_LT(close_took, std::chrono::seconds(3)) << "iteration " << iteration;
    EXPECT_EQ(program.runner().RunningCount(), 0) << "iteration " << iteration;
    EXPECT_TRUE(program.runner().IsShuttingDown());
    ExpectOwnResultOrUntouched(program, iteration);
    for (int r = 0; r < program.model().RowCount(); ++r)
      rows_filled += program.Cell(r, 2).empty() ? 0 : 1;
    // The site still answers an aborted request for its delay: let it finish, so the next
    // program's first request is not counted as overlapping this program's last one.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  EXPECT_EQ(closed_during_click, 25);
  EXPECT_EQ(closed_after_click, 25);
  // Some batches got somewhere before they were closed, and none got everywhere always.
  EXPECT_GT(rows_filled, 0);
  EXPECT_LT(rows_filled, 50 * 30);
  EXPECT_LE(LoggedSite::MaxInFlight(site.Requests()), 1);
}

TEST(HandlersStress, RemovalAndBatchClicksDuringARunningBatch) {
  LoggedSite site({"--delay-ms", "1"});
  std::mt19937 random(4711);
  int removal_clicks = 0;
  int nested_batches = 0;
  // Rounds until a hundred removal clicks have landed on running batches.
  for (int iteration = 0; removal_clicks < 100 && iteration < 200; ++iteration) {
    Program program;
    const auto lines = MixedNumbers(40, random);
    program.ImportLines(lines);
    program.window()->speed_box()->setText(
        QString::number(std::uniform_int_distribution<int>(1, 10)(random)));
    const int clicks = std::uniform_int_distribution<int>(1, 4)(random);
    int pending = clicks;
    for (int i = 0; i < clicks; ++i) {
      const int at = std::uniform_int_distribution<int>(0, 120)(random);
      const int which = std::uniform_int_distribution<int>(0, 5)(random);
      QTimer::singleShot(at, program.window(),
                         [&program, &pending, &removal_clicks, &nested_batches, which] {
                           if (which == 0) {
                             ++nested_batches;
                             program.window()->batch_query_button()->click();
                           } else {
                             ++removal_clicks;
                             program.window()
                                 ->button(which % 2 == 0 ? WindowButton::kRemoveCurrent
                                                         : WindowButton::kRemoveSuperseded)
                                 ->click();
                           }
                           --pending;
                         });
    }
    program.window()->batch_query_button()->click();
    ASSERT_TRUE(PumpUntil(
        program.pump(), [&] { return pending == 0; }, std::chrono::seconds(30)));
    ASSERT_TRUE(program.WaitForWorkers());
    // Every row left was looked up (the batch took every row) and holds its own result.
    ExpectEveryRowHoldsItsOwnResult(program);
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "iteration " << iteration;
      break;
    }
  }
  EXPECT_GE(removal_clicks, 100);
  EXPECT_GT(nested_batches, 0);
  EXPECT_LE(LoggedSite::MaxInFlight(site.Requests()), 1);
}

}  // namespace
}  // namespace kelvaro::handlers_test
