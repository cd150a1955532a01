// The command line's console: standard streams, interrupts, exit.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelvaro::platform {

enum class Stream { kOut, kErr };

// Standard input, output or error that is closed at start is opened on the null device,
// so that nothing else takes its number and output fails visibly.
void EnsureStandardStreams();
bool IsTerminal(Stream stream);
// Writes UTF-8 text and flushes; false when it could not all be written. A console shows
// it as Unicode whatever its code page; a file or pipe receives the bytes unchanged.
bool WriteText(Stream stream, const std::string& utf8);
// Reads standard input to its end, as bytes (no line-end or code-page translation). A closed
// or missing standard input, or on Windows a handle that cannot be read from at all, reads as
// empty. False with the system's reason when reading fails otherwise.
bool ReadStandardInput(std::vector<std::uint8_t>& out, std::string& error);
// Ends the process at once with `code`, without running destructors (after a flush).
[[noreturn]] void ExitNow(int code);

// Calls `on_interrupt` on a thread of its own when the user interrupts the program
// (Ctrl-C, SIGTERM, the console closing), at most once. While an InterruptWatcher exists
// no such event ends the process by itself; one still pending when it is destroyed is
// reported then. Make it before any other thread.
class InterruptWatcher {
 public:
  explicit InterruptWatcher(std::function<void()> on_interrupt);
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kelvaro::platform
