#include <malloc.h>

#include "platform/memory.h"

namespace kelvaro::platform {

void ReturnFreeMemory() { _heapmin(); }

}  // namespace kelvaro::platform
