// Start-up and shutdown of the window program, and the program-wide state that the
// window's handlers work with.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "session/batch_session.h"
#include "batch/result_table.h"
#include "ui/main_window.h"
#include "ui/qt_message_pump.h"
#include "ui/result_table_model.h"

class QTranslator;

namespace kelvaro {

class BatchProgress;

// What a handler needs. Everything lives from start-up until the window's workers
// have ended after it closed; `session` (the batch runner) until ProgramCleanup.
struct ProgramContext {
  MainWindow* window = nullptr;  // controls by role; the open-file dialog's last file name
  ResultTableModel* model = nullptr;
  QtMessagePump* pump = nullptr;
  BatchSession* session = nullptr;    // made with the window: its query lock lives as long
  QString program_directory;          // the executable's directory, no trailing separator
  BatchProgress* progress = nullptr;  // the title during a batch (made with the handlers)

  ResultTable& table() const { return *model; }
};

// The program-wide objects of one run: pump, the Result table's model, the main window
// and the batch session.
class ProgramSession {
 public:
  using WindowLoader = std::function<std::unique_ptr<MainWindow>(ResultTableModel& model)>;

  explicit ProgramSession(QString program_directory = QString());
  ~ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  // Makes the window (through `loader` when given) and, once it exists, the batch
  // session with its query lock; the window is not shown. False when no window could
  // be made.
  bool LoadWindow(const WindowLoader& loader = nullptr);

  // What closing the window does: the batch session's EndAll (no further row starts,
  // requests in flight aborted, workers waited for while dispatching, the query lock
  // deleted).
  void EndBatches();

  // The clean-up at exit: releases the batch session and its runner.
  void ProgramCleanup();

  ProgramContext& context() { return context_; }

 private:
  ProgramContext context_;
  QtMessagePump pump_;
  std::unique_ptr<ResultTableModel> model_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<BatchSession> session_;
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
int ProgramStart(int argc, char** argv, const ProgramHooks& hooks = {});

// ProgramStart's work with an application object that already exists.
int RunProgram(const ProgramHooks& hooks = {});

// Loads Qt's own Chinese translation (its dialogs' buttons and labels) and installs it;
// false when the translation is not there.
bool LoadQtChinese(QTranslator& translator);

// "运行时出错!\r\n\r\n错误信息：" + message, as Unicode.
QString FatalErrorText(const QString& message);

}  // namespace kelvaro
