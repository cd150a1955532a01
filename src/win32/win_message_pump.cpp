#include "win32/win_message_pump.h"

#include <algorithm>

namespace kelvaro::win {

WinMessagePump::WinMessagePump() : wake_event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

WinMessagePump::~WinMessagePump() {
  if (wake_event_ != nullptr) CloseHandle(wake_event_);
}

void WinMessagePump::PumpingWait(int microseconds) {
  LARGE_INTEGER due;
  due.QuadPart = static_cast<LONGLONG>(std::max(microseconds, 1000) * -10.0);
  HANDLE timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
  if (timer == nullptr || !SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
    // Without a timer the wait could never end: a short sleep that still dispatches.
    if (timer != nullptr) CloseHandle(timer);
    ProcessPendingMessages();
    MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_ALLINPUT, 0);
    ProcessPendingMessages();
    return;
  }
  HANDLE handles[2] = {timer, wake_event_};
  const DWORD count = wake_event_ != nullptr ? 2 : 1;
  for (;;) {
    // Only input that arrived since the queue was last looked at wakes the wait, so a
    // quit message left in the queue does not turn it into a spin.
    const DWORD woke = MsgWaitForMultipleObjectsEx(count, handles, INFINITE, QS_ALLINPUT, 0);
    if (woke < WAIT_OBJECT_0 + count) break;  // the timer fired, or WakeUp
    if (woke == WAIT_OBJECT_0 + count) {
      ProcessPendingMessages();
      continue;
    }
    Sleep(1);  // the wait failed: end it, still serving what arrived
    ProcessPendingMessages();
    break;
  }
  CancelWaitableTimer(timer);
  CloseHandle(timer);
}

void WinMessagePump::ProcessPendingMessages() {
  MSG message;
  // Looking at the queue also delivers messages sent by other threads (the workers').
  while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
    if (message.message == WM_QUIT) return;  // left for the main loop
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
    Dispatch(message);
  }
}

void WinMessagePump::Dispatch(MSG& message) {
  if (pre_translate_ && pre_translate_(message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

int WinMessagePump::RunMainLoop() {
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return 0;
    Dispatch(message);
  }
}

void WinMessagePump::TrimWorkingSet() {
  // The runner asks on every poll; the heap walk behind it is rate-limited.
  const std::uint64_t before = ProcessMemoryTrims();
  TrimProcessMemory();
  if (ProcessMemoryTrims() != before) {
    SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
  }
}

void WinMessagePump::WakeUp() {
  if (wake_event_ != nullptr) SetEvent(wake_event_);
}

}  // namespace kelvaro::win
