#include <windows.h>

#include <cstdio>

#include "platform/clock.h"

namespace kelvaro::platform {

std::string LocalTimeText() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", local.wYear, local.wMonth,
                local.wDay, local.wHour, local.wMinute, local.wSecond);
  return text;
}

std::string UtcTimeText() {
  SYSTEMTIME utc{};
  GetSystemTime(&utc);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", utc.wYear, utc.wMonth,
                utc.wDay, utc.wHour, utc.wMinute, utc.wSecond);
  return text;
}

}  // namespace kelvaro::platform
