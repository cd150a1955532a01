#include "support/open_handles.h"

#include <windows.h>

namespace kelvaro::test {

int OpenHandleCount() {
  DWORD count = 0;
  // A process always holds some handles: 0 means the system did not count (Wine 8).
  if (!GetProcessHandleCount(GetCurrentProcess(), &count) || count == 0) return -1;
  return static_cast<int>(count);
}

}  // namespace kelvaro::test
