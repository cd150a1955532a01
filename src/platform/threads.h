// Threads nobody joins.
#pragma once

#include <functional>

namespace kelvaro::platform {

// Runs `body` on a new thread nobody joins; false when no thread could be made. (On
// Windows the C++ runtime's detached std::thread now and then never runs its body.)
bool StartDetachedThread(std::function<void()> body);

}  // namespace kelvaro::platform
