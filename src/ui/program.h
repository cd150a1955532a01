// Start-up and shutdown of the window program, and the program-wide state that the
// window's handlers work with.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "batch/batch_runner.h"
#include "batch/lock_registry.h"
#include "batch/result_table.h"
#include "ui/main_window.h"
#include "ui/qt_message_pump.h"
#include "ui/result_table_model.h"

namespace kelvaro {

// What a handler needs. Everything lives from start-up until the window's workers
// have ended after it closed; `runner` until ProgramCleanup.
struct ProgramContext {
  MainWindow* window = nullptr;  // controls by role; the open-file dialog's last file name
  ResultTableModel* model = nullptr;
  QtMessagePump* pump = nullptr;
  BatchRunner* runner = nullptr;
  LockRegistry* locks = nullptr;
  int query_lock = 0;         // handle in `locks`; live exactly while the window is open
  QString program_directory;  // the executable's directory, no trailing separator

  ResultTable& table() const { return *model; }
};

// The running program's context; only valid while a program session exists.
ProgramContext& Program();
bool HasProgram();

// The program-wide objects of one run: pump, runner, lock registry, the Result
// table's model and the main window.
class ProgramSession {
 public:
  using WindowLoader = std::function<std::unique_ptr<MainWindow>(ResultTableModel& model)>;

  explicit ProgramSession(QString program_directory = QString());
  ~ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  // Makes the window (through `loader` when given) and, once it exists, the query
  // lock; the window is not shown. False when no window could be made.
  bool LoadWindow(const WindowLoader& loader = nullptr);

  // What closing the window does: no further row starts, requests in flight are
  // aborted, running workers are waited for while dispatching, then the query lock
  // is deleted. Runs once.
  void EndBatches();

  // Releases the runner (clean-up at exit). Workers must have ended.
  void ReleaseRunner();

  ProgramContext& context() { return context_; }

 private:
  void CreateQueryLock();
  void DeleteQueryLock();

  ProgramContext context_;
  QtMessagePump pump_;
  LockRegistry locks_;
  std::unique_ptr<BatchRunner> runner_;
  std::unique_ptr<ResultTableModel> model_;
  std::unique_ptr<MainWindow> window_;
  bool batches_ended_ = false;
};

// Test seams and hooks of RunProgram.
struct ProgramHooks {
  ProgramSession::WindowLoader window_loader;  // empty: the real window
  // Shows the fatal run-time error; empty: a modal critical message box.
  std::function<void(const QString& caption, const QString& text)> report_fatal_error;
  // Called once the window is shown, before the main loop runs.
  std::function<void(ProgramContext&)> on_shown;
};

// The program's start routine: makes the application object, runs the program,
// returns the exit code (0, or -1 after the fatal error).
int ProgramStart(int argc, char** argv);

// ProgramStart's work with an application object that already exists.
int RunProgram(const ProgramHooks& hooks = {});

// The clean-up list run at exit, in order of registration; a routine is not
// added twice.
void RegisterCleanup(void (*routine)());
void RunCleanupList();
// Releases the program-wide batch runner.
void ProgramCleanup();
int ProgramCleanupRuns();  // how often ProgramCleanup has run (tests)

// "运行时出错!\r\n\r\n错误信息：" + message, as Unicode.
QString FatalErrorText(const QString& message);

}  // namespace kelvaro
