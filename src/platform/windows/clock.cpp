#include <windows.h>

#include <cstdio>

#include "platform/clock.h"

namespace kelvaro::platform {
namespace {

// `format` takes year, month, day, hour, minute and second, in that order.
std::string TimeText(const SYSTEMTIME& t, const char* format) {
  char text[32];
  std::snprintf(text, sizeof text, format, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  return text;
}

}  // namespace

std::string LocalTimeText() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return TimeText(local, "%04u-%02u-%02u %02u:%02u:%02u");
}

std::string UtcTimeText() {
  SYSTEMTIME utc{};
  GetSystemTime(&utc);
  return TimeText(utc, "%04u-%02u-%02uT%02u:%02u:%02uZ");
}

}  // namespace kelvaro::platform
