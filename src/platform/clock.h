// The wall clock, as users read it.
#pragma once

#include <string>

namespace kelvaro::platform {

// The local date and time now, "2026-12-08 22:00:13". Safe from any thread.
std::string LocalTimeText();

}  // namespace kelvaro::platform
