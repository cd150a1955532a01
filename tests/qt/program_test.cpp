#include "qt/program.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "qt_test_app.h"
#include "support/sites.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

using Clock = std::chrono::steady_clock;
using testing::TestApp;

// Closes the program's window shortly after it is shown; a watchdog ends a main
// loop that would not end by itself.
class ProgramRun {
 public:
  ProgramRun() {
    watchdog_.setSingleShot(true);
    QObject::connect(&watchdog_, &QTimer::timeout, [] { QCoreApplication::exit(3); });
  }
  int Run(ProgramHooks hooks) {
    watchdog_.start(20000);
    const int code = RunProgram(hooks);
    watchdog_.stop();
    return code;
  }

 private:
  QTimer watchdog_;
};

TEST(ProgramLifecycleTest, TheSessionLivesFromTheWindowsCreationToItsClosing) {
  TestApp();
  ProgramSession session(QStringLiteral("/opt/kelvaro"));
  ASSERT_TRUE(session.LoadWindow());
  ProgramContext& context = session.context();
  EXPECT_EQ(context.program_directory, QStringLiteral("/opt/kelvaro"));
  EXPECT_EQ(context.logic().program_directory(), "/opt/kelvaro");
  EXPECT_EQ(context.model->view(), context.window->result_view());
  EXPECT_EQ(context.window->result_view()->model(), context.model);
  // The window and its controls exist: the session and its query lock too.
  ASSERT_NE(context.logic().session(), nullptr);
  EXPECT_FALSE(context.session().IsEnding());
  context.window->show();
  EXPECT_TRUE(context.window->close());
  EXPECT_TRUE(context.session().IsEnding());
  session.ProgramCleanup();
  EXPECT_EQ(context.window, nullptr);
}

TEST(ProgramLifecycleTest, WindowThatCannotBeLoadedIsTheFatalError) {
  TestApp();
  QString caption;
  QString text;
  int reports = 0;
  ProgramHooks hooks;
  hooks.window_loader = [](ResultTableModel&, MessagePump&, const QString&) {
    return std::unique_ptr<MainWindow>();
  };
  hooks.report_fatal_error = [&](const QString& c, const QString& t) {
    ++reports;
    caption = c;
    text = t;
  };
  ProgramRun run;
  EXPECT_EQ(run.Run(hooks), -1);
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(caption, QString::fromUtf8("错误"));
  EXPECT_EQ(text, QString::fromUtf8("运行时出错!\r\n\r\n错误信息：载入启动窗口失败"));
}

TEST(ProgramLifecycleTest, ClosingTheWindowEndsTheProgramWithCodeZero) {
  TestApp();
  const QString cwd_before = QDir::currentPath();
  ProgramHooks hooks;
  QString directory;
  QString cwd_while_running;
  bool shown = false;
  hooks.on_shown = [&](ProgramContext& context) {
    shown = context.window->isVisible();
    directory = context.program_directory;
    cwd_while_running = QDir::currentPath();
    EXPECT_FALSE(context.session().IsEnding());
    EXPECT_EQ(context.window->tab_control()->currentIndex(), 0);
    QTimer::singleShot(50, context.window, [window = context.window] { window->close(); });
  };
  ProgramRun run;
  EXPECT_EQ(run.Run(hooks), 0);
  EXPECT_TRUE(shown);
  EXPECT_EQ(directory, QCoreApplication::applicationDirPath());
  EXPECT_EQ(QDir(cwd_while_running).canonicalPath(), QDir(directory).canonicalPath());
  EXPECT_FALSE(directory.endsWith(QLatin1Char('/')));
  QDir::setCurrent(cwd_before);
}

TEST(ProgramLifecycleTest, EscapeEndsTheProgram) {
  TestApp();
  ProgramHooks hooks;
  hooks.on_shown = [](ProgramContext& context) {
    QTimer::singleShot(50, context.window, [window = context.window] {
      window->activateWindow();
      if (QTest::qWaitForWindowActive(window)) {
        QTest::keyClick(window->control(kSingleQueryButton), Qt::Key_Escape);
      }
    });
  };
  ProgramRun run;
  EXPECT_EQ(run.Run(hooks), 0);
}

// A batch on a slow site; the window closes in the middle of it.
TEST(ProgramLifecycleConcurrencyTest, ClosingDuringABatchEndsPromptlyAndNoRowStartsAfter) {
  TestApp();
  test::LoggedSite site({"--delay-ms", "50"});
  static constexpr int kRows = 400;
  Clock::time_point closed_at;
  ProgramHooks hooks;
  int rows_filled = -1;
  hooks.on_shown = [&](ProgramContext& context) {
    context.logic().SetSite(site.site());
    for (int i = 1; i <= kRows; ++i) {
      const int row = context.table().AppendRow(std::to_string(i));
      context.table().SetCellText(row, 1, "GB " + std::to_string(i) + "-2010");
    }
    context.window->control_as<QLineEdit>(kSpeedBox)->setText(QStringLiteral("8"));
    QTimer::singleShot(0, context.window, [window = context.window] {
      window->control_as<QPushButton>(kBatchQueryButton)->click();
    });
    QTimer::singleShot(300, context.window, [&closed_at, &rows_filled, &context] {
      closed_at = Clock::now();
      context.window->close();
      rows_filled = 0;
      for (int row = 0; row < kRows; ++row) {
        rows_filled += context.table().GetCellText(row, 2).empty() ? 0 : 1;
      }
    });
  };
  ProgramRun run;
  const int code = run.Run(hooks);
  EXPECT_EQ(code, 0);
  EXPECT_LT(Clock::now() - closed_at, std::chrono::seconds(2));
  EXPECT_GT(rows_filled, 0);
  EXPECT_LT(rows_filled, kRows) << "no row starts after the window closed";
  // A row may ask more than one page of its keyword's hits ("GB5" lists many): rows are
  // counted by the keywords asked.
  std::set<std::string> keywords;
  for (const auto& request : site.SettledRequests(1)) {
    keywords.insert(request.target.substr(0, request.target.find("&pageNum=")));
  }
  EXPECT_LE(keywords.size(), static_cast<std::size_t>(rows_filled) + 1);
}

}  // namespace
}  // namespace kelvaro
