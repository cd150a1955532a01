#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pwd.h>

#include <cerrno>
#include <cstdlib>
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

bool WriteWholeFile(const std::string& path, std::string_view data, std::string& error) {
  error.clear();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = ErrorText(errno);
    return false;
  }
  std::size_t written = 0;
  while (written < data.size()) {
    const ssize_t put = ::write(fd, data.data() + written, data.size() - written);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      error = ErrorText(put < 0 ? errno : ENOSPC);
      break;
    }
    written += static_cast<std::size_t>(put);
  }
  if (::close(fd) != 0 && error.empty()) error = ErrorText(errno);
  if (error.empty()) return true;
  ::unlink(path.c_str());
  return false;
}

bool IsWritableDirectory(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
    return user->pw_dir;
  }
  return {};
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

}  // namespace kelvaro::platform
