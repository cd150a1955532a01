// Whether the test runs under Wine rather than Windows: what Wine cannot do is skipped
// there with the reason, never passed.
#pragma once

#include <windows.h>

namespace kelvaro::test {

inline bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace kelvaro::test
