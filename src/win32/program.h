// Start-up and shutdown of Kelvaro.exe.
#pragma once

#include <functional>
#include <string>

#include "win32/main_window.h"

namespace kelvaro::win {

struct ProgramHooks {
  WindowHooks window;
  // Called once the window is shown, before the main loop runs.
  std::function<void(MainWindow&)> on_shown;
  // Called after the main loop and the clean-up, while the window object still exists.
  std::function<void(MainWindow&)> on_ended;
};

// The executable's directory, no trailing backslash (empty when it has none).
std::wstring ProgramDirectory();

// OLE, the program directory as the current directory, the window and its batch session,
// the main loop; returns the exit code (0, or -1 when the window could not be made).
int RunProgram(const ProgramHooks& hooks = {});

}  // namespace kelvaro::win
