#include <ctime>

#include "platform/clock.h"

namespace kelvaro::platform {

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  return std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) > 0 ? text : "";
}

std::string UtcTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  return std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc) > 0 ? text : "";
}

}  // namespace kelvaro::platform
