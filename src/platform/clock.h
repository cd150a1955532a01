// The wall clock, as users read it.
#pragma once

#include <string>

namespace kelvaro::platform {

// The local date and time now, "2026-12-08 22:00:13". Safe from any thread.
std::string LocalTimeText();
// The time now in UTC, ISO 8601: "2026-12-09T15:04:05Z". Safe from any thread.
std::string UtcTimeText();

}  // namespace kelvaro::platform
