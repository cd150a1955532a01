#include <malloc.h>

#include "platform/platform.h"

namespace kelvaro::platform {

void ReturnFreeMemory() { malloc_trim(0); }

}  // namespace kelvaro::platform
