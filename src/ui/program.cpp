#include "ui/program.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "ui/handler_hooks.h"
#include "platform/platform.h"
#include "text/encoding.h"

namespace kelvaro {

namespace {

ProgramSession* g_session = nullptr;
std::vector<void (*)()> g_cleanup_list;
int g_cleanup_runs = 0;

QString FromGbk(const Text& gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }

void ShowFatalErrorBox(const QString& caption, const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::Critical, caption, shown, QMessageBox::Ok);
  box.exec();
}

// Documentation pictures: fills the table with a few sample numbers, presses the
// query buttons (whatever handlers are bound), grabs both pages into `folder` and
// closes the window. Only with KELVARO_SCREENSHOT_DIR set; never in normal use.
void ScheduleScreenshots(ProgramContext& context, const QString& folder) {
  MainWindow* window = context.window;
  ResultTable* table = context.model;
  BatchRunner* runner = context.runner;
  QTimer::singleShot(300, window, [window, table, runner, folder] {
    QDir().mkpath(folder);
    const char* const numbers[] = {"GB/T50001-2010", "GB/T50103-2010", "GB 50016-2006",
                                   "GB/T50104-2001", "GB 50016-2014",  "GBJ 16-87"};
    int ordinal = 0;
    for (const char* number : numbers) {
      const int row = table->AppendRow(std::to_string(++ordinal));
      table->SetCellText(row, 1, number);
    }
    window->tab_control()->setCurrentIndex(MainWindow::kQueryPage);
    window->single_query_button()->click();
    QApplication::processEvents();
    window->grab().save(QDir(folder).filePath(QStringLiteral("screenshot-query.png")));
    window->tab_control()->setCurrentIndex(MainWindow::kBatchPage);
    window->batch_query_button()->click();
    // The last workers of a batch finish after the click handler has returned.
    auto* poll = new QTimer(window);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    QObject::connect(poll, &QTimer::timeout, window, [window, runner, folder, poll, deadline] {
      if (runner->running_count.load() > 0 && std::chrono::steady_clock::now() < deadline) return;
      poll->stop();
      window->grab().save(QDir(folder).filePath(QStringLiteral("screenshot-batch.png")));
      window->close();
    });
    poll->start(100);
  });
}

}  // namespace

ProgramContext& Program() { return g_session->context(); }
bool HasProgram() { return g_session != nullptr; }

ProgramSession::ProgramSession(QString program_directory)
    : runner_(std::make_unique<BatchRunner>(pump_)), model_(std::make_unique<ResultTableModel>()) {
  context_.pump = &pump_;
  context_.locks = &locks_;
  context_.runner = runner_.get();
  context_.model = model_.get();
  context_.program_directory = std::move(program_directory);
  g_session = this;
}

ProgramSession::~ProgramSession() {
  EndBatches();
  window_.reset();
  context_.window = nullptr;
  if (g_session == this) g_session = nullptr;
}

bool ProgramSession::LoadWindow(const WindowLoader& loader) {
  window_ = loader ? loader(*model_) : std::make_unique<MainWindow>(model_.get());
  if (!window_) return false;
  model_->SetView(window_->result_view());
  context_.window = window_.get();
  window_->OnClosing([this] { EndBatches(); });
  // The window and all its controls exist: its creation is complete.
  CreateQueryLock();
  return true;
}

void ProgramSession::CreateQueryLock() { context_.query_lock = locks_.CreateLock(); }

void ProgramSession::DeleteQueryLock() { locks_.DeleteLock(context_.query_lock); }

void ProgramSession::EndBatches() {
  if (batches_ended_) return;
  batches_ended_ = true;
  if (runner_) {
    runner_->Shutdown();
    runner_->StopBatch();
    // A worker may begin its request just after an abort: abort again on every
    // wake-up until the last one has finished. Finishing workers wake the pump.
    while (runner_->running_count.load() > 0) {
      platform::AbortAllRequests();
      pump_.PumpingWait(20000);
    }
    runner_->WaitForAllWorkers();
  }
  // No worker can hold or wait for the query lock any more.
  DeleteQueryLock();
}

void ProgramSession::ReleaseRunner() {
  if (!runner_) return;
  EndBatches();
  runner_->Destroy();
  runner_.reset();
  context_.runner = nullptr;
}

void RegisterCleanup(void (*routine)()) {
  if (std::find(g_cleanup_list.begin(), g_cleanup_list.end(), routine) == g_cleanup_list.end()) {
    g_cleanup_list.push_back(routine);
  }
}

void RunCleanupList() {
  const std::vector<void (*)()> list = std::move(g_cleanup_list);
  g_cleanup_list.clear();
  for (void (*routine)() : list) routine();
}

void ProgramCleanup() {
  ++g_cleanup_runs;
  if (g_session != nullptr) g_session->ReleaseRunner();
}

int ProgramCleanupRuns() { return g_cleanup_runs; }

QString FatalErrorText(const QString& message) {
  return FromGbk(Gbk(u8"运行时出错!\r\n")) + FromGbk(Gbk(u8"\r\n错误信息：")) + message;
}

int RunProgram(const ProgramHooks& hooks) {
  static std::once_flag web_once;
  std::call_once(web_once, [] { platform::InitWeb(); });

  const QString program_directory = QCoreApplication::applicationDirPath();
  QDir::setCurrent(program_directory);

  ProgramSession session(program_directory);
  RegisterCleanup(ProgramCleanup);

  if (!session.LoadWindow(hooks.window_loader)) {
    const auto& report = hooks.report_fatal_error ? hooks.report_fatal_error : ShowFatalErrorBox;
    report(FromGbk(Gbk(u8"错误")), FatalErrorText(FromGbk(Gbk(u8"载入启动窗口失败"))));
    return -1;
  }
  ProgramContext& context = session.context();
  InstallHandlers(context);
  context.window->show();

  const QByteArray screenshot_dir = qgetenv("KELVARO_SCREENSHOT_DIR");
  if (!screenshot_dir.isEmpty())
    ScheduleScreenshots(context, QString::fromLocal8Bit(screenshot_dir));
  if (hooks.on_shown) hooks.on_shown(context);

  QApplication::exec();

  // The window may be open still if the loop was ended otherwise.
  session.EndBatches();
  RunCleanupList();
  return 0;
}

int ProgramStart(int argc, char** argv) {
  QApplication app(argc, argv);
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize(12);
  QApplication::setFont(font);
  return RunProgram();
}

}  // namespace kelvaro
