// Waits for Ctrl-C with an InterruptWatcher, then reports how often the callback ran and
// ends with 130, as the command line does. Driven by interrupt_test.sh, which sends the
// signals from Linux (Wine turns SIGINT into CTRL_C_EVENT).
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/console.h"

int main() {
  using kelvaro::platform::Stream;
  kelvaro::platform::EnsureStandardStreams();
  static std::atomic<int> calls{0};
  static HANDLE interrupted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  kelvaro::platform::InterruptWatcher watcher([] {
    ++calls;
    SetEvent(interrupted);
  });
  kelvaro::platform::WriteText(Stream::kOut, "ready\n");
  if (WaitForSingleObject(interrupted, 20000) != WAIT_OBJECT_0) {
    kelvaro::platform::WriteText(Stream::kOut, "no interrupt\n");
    return 1;
  }
  Sleep(500);  // a second Ctrl-C arrives meanwhile and must not call again or end us
  kelvaro::platform::WriteText(Stream::kOut, "calls " + std::to_string(calls.load()) + "\n");
  kelvaro::platform::ExitNow(130);
}
