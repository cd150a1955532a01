#include "support/environment.h"

#include <stdlib.h>

namespace kelvaro::test {

void SetEnvironment(const char* name, const char* value) { setenv(name, value, 1); }

void UnsetEnvironment(const char* name) { unsetenv(name); }

}  // namespace kelvaro::test
