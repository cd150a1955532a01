// Setting the process's environment from a test, the same way on every system.
#pragma once

namespace kelvaro::test {

void SetEnvironment(const char* name, const char* value);
void UnsetEnvironment(const char* name);

}  // namespace kelvaro::test
