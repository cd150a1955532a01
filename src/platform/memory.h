// The process heap.
#pragma once

namespace kelvaro::platform {

// Gives free heap memory back to the system (cheap callers rate-limit it themselves).
void ReturnFreeMemory();

}  // namespace kelvaro::platform
