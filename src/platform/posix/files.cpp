#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace kelvaro::platform {
namespace {

std::string ErrorText(int error_number) { return std::strerror(error_number); }

}  // namespace

bool ReadWholeFile(const std::string& path, Bytes& out, std::string& error) {
  out.clear();
  error.clear();
  // Non-blocking open: a FIFO without a writer must not freeze the window's thread.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = ErrorText(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    // Devices such as /dev/zero never end; pipes and directories hold no numbers file.
    error = S_ISDIR(info.st_mode) ? ErrorText(EISDIR) : "not a regular file";
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (info.st_size > 0) out.reserve(static_cast<std::size_t>(info.st_size));
  std::uint8_t buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      error = ErrorText(errno);
      out.clear();
      ::close(fd);
      return false;
    }
    out.insert(out.end(), buffer, buffer + got);
  }
  ::close(fd);
  return true;
}

}  // namespace kelvaro::platform
