#include <malloc.h>

#include "platform/memory.h"

namespace kelvaro::platform {

void ReturnFreeMemory() { malloc_trim(0); }

}  // namespace kelvaro::platform
