#include <malloc.h>

#include "platform/platform.h"

namespace kelvaro::platform {

void ReturnFreeMemory() { _heapmin(); }

}  // namespace kelvaro::platform
