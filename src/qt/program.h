// Start-up and shutdown of the window program: the program-wide objects of one run.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "qt/main_window.h"
#include "qt/qt_message_pump.h"
#include "qt/result_table_model.h"

class QTranslator;

namespace kelvaro {

// The run's objects, for hooks and tests. They live from start-up until the window's
// workers have ended after it closed.
struct ProgramContext {
  MainWindow* window = nullptr;
  ResultTableModel* model = nullptr;
  QtMessagePump* pump = nullptr;
  QString program_directory;  // the executable's directory, no trailing separator

  WindowLogic& logic() const { return window->logic(); }
  BatchSession& session() const { return *window->logic().session(); }
  WindowTable& table() const { return model->table(); }
};

// Pump, the Result table's model and the main window with its logic.
class ProgramSession {
 public:
  using WindowLoader = std::function<std::unique_ptr<MainWindow>(
      ResultTableModel& model, MessagePump& pump, const QString& program_directory)>;

  explicit ProgramSession(QString program_directory = QString());
  ~ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  // Makes the window (through `loader` when given), not shown; false when none could be
  // made.
  bool LoadWindow(const WindowLoader& loader = nullptr);
  // The clean-up at exit: every batch ended, the session released; with workers left
  // after the grace, the table and window end with the process.
  void ProgramCleanup();

  ProgramContext& context() { return context_; }

 private:
  ProgramContext context_;
  QtMessagePump pump_;
  std::unique_ptr<ResultTableModel> model_;
  std::unique_ptr<MainWindow> window_;
};

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

}  // namespace kelvaro
