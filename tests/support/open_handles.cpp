#include "support/open_handles.h"

#include <filesystem>
#include <system_error>

namespace kelvaro::test {

int OpenHandleCount() {
  std::error_code error;
  std::filesystem::directory_iterator it("/proc/self/fd", error);
  if (error) return -1;
  int n = 0;
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) ++n;
  return n;
}

}  // namespace kelvaro::test
