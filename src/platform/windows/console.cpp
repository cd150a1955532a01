#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/console.h"
#include "platform/windows/wide.h"
#include "text/text.h"

namespace kelvaro::platform {
namespace {

HANDLE HandleOf(Stream stream) {
  return GetStdHandle(stream == Stream::kOut ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

bool WriteAll(HANDLE handle, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 20) ? (1u << 20) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool WriteConsoleAll(HANDLE handle, const std::wstring& wide) {
  const wchar_t* data = wide.data();
  std::size_t size = wide.size();
  while (size > 0) {
    // Old consoles refuse very long writes.
    DWORD chunk = size > 8192 ? 8192 : static_cast<DWORD>(size);
    // Never split a surrogate pair between two writes.
    if (chunk < size && data[chunk - 1] >= 0xD800 && data[chunk - 1] <= 0xDBFF) --chunk;
    DWORD written = 0;
    if (!WriteConsoleW(handle, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// What the console's handler thread shares with the live watcher.
struct WatcherShared {
  std::function<void()> on_interrupt;
  std::mutex call_mutex;  // held while the callback runs; the watcher's end waits for it
  bool fired = false;
  bool closed = false;
};
std::mutex watcher_mutex;
std::shared_ptr<WatcherShared> live_watcher;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  std::shared_ptr<WatcherShared> shared;
  {
    std::lock_guard lock(watcher_mutex);
    shared = live_watcher;
  }
  if (!shared) return FALSE;
  {
    std::lock_guard lock(shared->call_mutex);
    if (!shared->closed && !shared->fired) {
      shared->fired = true;
      shared->on_interrupt();
    }
  }
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    // The system ends the process as soon as this returns: give the program the few
    // seconds it is allowed to finish and exit by itself.
    Sleep(4500);
  }
  return TRUE;
}

}  // namespace

void EnsureStandardStreams() {
  const DWORD ids[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  for (DWORD id : ids) {
    HANDLE handle = GetStdHandle(id);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) continue;
    const DWORD access = id == STD_INPUT_HANDLE ? GENERIC_READ : GENERIC_WRITE;
    HANDLE null_device = CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    if (null_device != INVALID_HANDLE_VALUE) SetStdHandle(id, null_device);
  }
}

bool IsTerminal(Stream stream) { return IsConsole(HandleOf(stream)); }

bool WriteText(Stream stream, const std::string& utf8) {
  // Whatever the C runtime still buffers goes first, so the order holds.
  std::fflush(stream == Stream::kOut ? stdout : stderr);
  HANDLE handle = HandleOf(stream);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  if (utf8.empty()) return true;
  if (IsConsole(handle)) {
    std::wstring wide;
    if (!Utf8ToWide(utf8, wide)) return false;
    return WriteConsoleAll(handle, wide);
  }
  // A file or a pipe gets the bytes exactly: no "\r\n" for "\n", no code page.
  return WriteAll(handle, utf8.data(), utf8.size());
}

bool ReadStandardInput(Bytes& out, std::string& error) {
  out.clear();
  error.clear();
  // No standard input reads as empty, as a closed one does on Linux.
  HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return true;
  // Through the handle, not the C runtime: its text mode would drop CRs and end at a ^Z.
  std::uint8_t buffer[1 << 16];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(handle, buffer, sizeof buffer, &got, nullptr)) {
      const DWORD code = GetLastError();
      if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return true;  // writer done
      // A handle already closed, open for writing only, or of a kind nothing is read from
      // (Wine passes a closed descriptor 0 on as a folder's): no input at all.
      if (out.empty() && (code == ERROR_INVALID_HANDLE || code == ERROR_ACCESS_DENIED ||
                          code == ERROR_INVALID_FUNCTION)) {
        return true;
      }
      error = SystemErrorText(code);
      out.clear();
      return false;
    }
    if (got == 0) return true;
    out.insert(out.end(), buffer, buffer + got);
  }
}

void ExitNow(int code) {
  std::fflush(nullptr);
  // No destructors, no DLL detach: other threads may hold anything at this point.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  ExitProcess(static_cast<UINT>(code));
}

struct InterruptWatcher::State {
  std::shared_ptr<WatcherShared> shared;
};

InterruptWatcher::InterruptWatcher(std::function<void()> on_interrupt)
    : state_(std::make_unique<State>()) {
  state_->shared = std::make_shared<WatcherShared>();
  state_->shared->on_interrupt = std::move(on_interrupt);
  {
    std::lock_guard lock(watcher_mutex);
    live_watcher = state_->shared;
  }
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

InterruptWatcher::~InterruptWatcher() {
  SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
  {
    std::lock_guard lock(watcher_mutex);
    if (live_watcher == state_->shared) live_watcher.reset();
  }
  std::lock_guard lock(state_->shared->call_mutex);
  state_->shared->closed = true;
}

}  // namespace kelvaro::platform
