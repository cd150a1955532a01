// Closing the window while a batch runs, many times over, with seeded random timing.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/web.h"
#include "qt/program.h"
#include "qt_test_app.h"
#include "support/sites.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

using Clock = std::chrono::steady_clock;

TEST(HandlersStress, CloseTheWindowInTheMiddleOfABatchFiftyTimes) {
  testing::TestApp();
  platform::InitWeb();
  test::LoggedSite site({"--delay-ms", "2"});
  std::mt19937 random(20261208);
  const auto& known = test::KnownNumbers();
  std::uniform_int_distribution<std::size_t> pick(0, known.size() - 1);
  int rows_filled = 0;
  for (int iteration = 0; iteration < 50; ++iteration) {
    QTemporaryDir directory;
    ProgramSession session(directory.path());
    ASSERT_TRUE(session.LoadWindow());
    ProgramContext& context = session.context();
    context.logic().SetSite(site.site());
    MainWindow* window = context.window;
    window->show();
    for (int i = 1; i <= 30; ++i) {
      const int row = context.table().AppendRow(std::to_string(i));
      context.table().SetCellText(row, 1, Utf8ToGbk(known[pick(random)].number));
    }
    window->control_as<QLineEdit>(kSpeedBox)->setText(
        QString::number(std::uniform_int_distribution<int>(1, 8)(random)));
    const int close_at = std::uniform_int_distribution<int>(0, 60)(random);
    Clock::time_point closed_at{};
    Clock::duration close_took{};
    auto close = [&] {
      closed_at = Clock::now();
      window->close();
      close_took = Clock::now() - closed_at;
    };
    if (iteration % 2 == 0) {
      // From inside the click's own wait.
      QTimer::singleShot(close_at, window, close);
      window->control_as<QPushButton>(kBatchQueryButton)->click();
      const auto deadline = Clock::now() + std::chrono::seconds(20);
      while (closed_at == Clock::time_point{} && Clock::now() < deadline) {
        context.pump->PumpingWait(5000);
      }
      ASSERT_NE(closed_at, Clock::time_point{});
    } else {
      window->control_as<QPushButton>(kBatchQueryButton)->click();
      const auto until = Clock::now() + std::chrono::milliseconds(close_at);
      while (Clock::now() < until) context.pump->PumpingWait(2000);
      close();
    }
    // Closing waited for every worker.
    EXPECT_LT(close_took, std::chrono::seconds(3)) << "iteration " << iteration;
    EXPECT_FALSE(context.session().IsRunning()) << "iteration " << iteration;
    // A row holds its own result or, when its lookup was cut short, nothing at all.
    for (int r = 0; r < context.table().RowCount(); ++r) {
      const test::Expected* e = test::FindKnown(GbkToUtf8(context.table().GetCellText(r, 1)));
      ASSERT_NE(e, nullptr);
      const std::string status = GbkToUtf8(context.table().GetCellText(r, 2));
      const std::string title = GbkToUtf8(context.table().GetCellText(r, 4));
      EXPECT_TRUE(status.empty() ? title.empty() : status == e->status && title == e->title)
          << "iteration " << iteration << " row " << r;
      rows_filled += status.empty() ? 0 : 1;
    }
    // The site still answers an aborted request for its delay: let it finish, so the next
    // program's first request is not counted as overlapping this program's last one.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  // Some batches got somewhere before they were closed, and none got everywhere always.
  EXPECT_GT(rows_filled, 0);
  EXPECT_LT(rows_filled, 50 * 30);
  EXPECT_LE(test::LoggedSite::MaxInFlight(site.Requests()), 1);
}

}  // namespace
}  // namespace kelvaro
