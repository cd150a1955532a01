#include "ui/program.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "qt_test_app.h"
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

TEST(ProgramLifecycleTest, BatchSessionLivesFromTheWindowsCreationToItsClosing) {
  TestApp();
  ProgramSession session;
  ProgramContext& context = session.context();
  EXPECT_EQ(context.window, nullptr);
  EXPECT_EQ(context.session, nullptr);
  bool open_when_clicked = false;
  ASSERT_TRUE(session.LoadWindow([&](ResultTableModel& model) {
    auto window = std::make_unique<MainWindow>(&model);
    // The session (and its query lock) is made once the window exists, before a click.
    window->OnClicked(WindowButton::kBatchQuery, [&context, &open_when_clicked] {
      open_when_clicked = context.session != nullptr && !context.session->IsEnding();
    });
    return window;
  }));
  ASSERT_NE(context.window, nullptr);
  context.window->show();
  context.window->batch_query_button()->click();
  EXPECT_TRUE(open_when_clicked);
  EXPECT_TRUE(context.window->close());
  ASSERT_NE(context.session, nullptr);
  EXPECT_TRUE(context.session->IsEnding());
  session.ProgramCleanup();
  EXPECT_EQ(context.session, nullptr);
}

TEST(ProgramLifecycleTest, ContextNamesTheProgramsObjects) {
  TestApp();
  ProgramSession session(QStringLiteral("/opt/kelvaro"));
  ASSERT_TRUE(session.LoadWindow());
  ProgramContext& context = session.context();
  EXPECT_EQ(context.program_directory, QStringLiteral("/opt/kelvaro"));
  ASSERT_NE(context.session, nullptr);
  ASSERT_NE(context.pump, nullptr);
  ASSERT_NE(context.model, nullptr);
  EXPECT_EQ(context.model->view(), context.window->result_view());
  EXPECT_EQ(context.window->result_view()->model(), context.model);
  context.table().AppendRow("1");
  EXPECT_EQ(context.model->rowCount(), 1);
  context.window->set_open_file_name(QStringLiteral("/tmp/numbers.txt"));
  EXPECT_EQ(context.window->open_file_name(), QStringLiteral("/tmp/numbers.txt"));
}

TEST(ProgramLifecycleTest, WindowThatCannotBeLoadedIsTheFatalError) {
  TestApp();
  QString caption;
  QString text;
  int reports = 0;
  ProgramHooks hooks;
  hooks.window_loader = [](ResultTableModel&) { return std::unique_ptr<MainWindow>(); };
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
    EXPECT_FALSE(context.session->IsEnding());
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
        QTest::keyClick(window->single_query_button(), Qt::Key_Escape);
      }
    });
  };
  ProgramRun run;
  EXPECT_EQ(run.Run(hooks), 0);
}

// Slow workers that use the table, started by the session's runner from the batch
// button; the window closes in the middle of the run.
TEST(ProgramLifecycleConcurrencyTest, ClosingDuringABatchEndsPromptlyAfterEveryWorker) {
  TestApp();
  constexpr int kRows = 400;
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
  std::atomic<int> wrong_row{0};
  Clock::time_point closed_at;
  bool batch_returned = false;

  ProgramHooks hooks;
  hooks.on_shown = [&](ProgramContext& context) {
    for (int i = 1; i <= kRows; ++i) context.table().AppendRow(std::to_string(i));
    ResultTableModel* table = context.model;
    BatchRunner* runner = &context.session->runner();
    // Replace the real batch handler: this batch's workers are slow fakes.
    QObject::disconnect(context.window->batch_query_button(), &QPushButton::clicked, nullptr,
                        nullptr);
    context.window->OnClicked(WindowButton::kBatchQuery, [&, table, runner] {
      const std::vector<RowId> ids = table->RowIds();
      auto worker = [&, table, runner, ids](int row_number) {
        ++started;
        const RowId id = ids[static_cast<size_t>(row_number - 1)];
        const Text number = table->GetCellTextById(id, 0);
        table->MakeRowVisibleById(id);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        table->SetCellTextById(id, 2, Gbk(u8"现行"));
        table->SetCellTextById(id, 3, "GB/T" + number);
        if (number != std::to_string(row_number)) ++wrong_row;
        ++finished;
        runner->WorkerFinished();
        return 0;
      };
      runner->RunBatch(worker, 8, kRows);
      batch_returned = true;
    });
    context.window->tab_control()->setCurrentIndex(MainWindow::kBatchPage);
    QTimer::singleShot(0, context.window,
                       [window = context.window] { window->batch_query_button()->click(); });
    QTimer::singleShot(300, context.window, [&closed_at, window = context.window] {
      closed_at = Clock::now();
      window->close();
    });
  };
  ProgramRun run;
  const int code = run.Run(hooks);
  const auto shutdown_time = Clock::now() - closed_at;
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(batch_returned);
  EXPECT_GT(started.load(), 0);
  EXPECT_LT(started.load(), kRows) << "no row starts after the window closed";
  EXPECT_EQ(finished.load(), started.load());
  EXPECT_EQ(wrong_row.load(), 0);
  EXPECT_LT(shutdown_time, std::chrono::seconds(2));
}

}  // namespace
}  // namespace kelvaro
