#include "support/environment.h"

#include <stdlib.h>

namespace kelvaro::test {

// The C runtime's copy is the one getenv reads. An empty value removes the variable here.
void SetEnvironment(const char* name, const char* value) { _putenv_s(name, value); }

void UnsetEnvironment(const char* name) { _putenv_s(name, ""); }

}  // namespace kelvaro::test
