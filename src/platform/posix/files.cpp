#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pwd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "text/text.h"

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

namespace {

// Writes all of `data` to `fd` and closes it; the reason in `error` when that failed.
bool WriteAndClose(int fd, std::string_view data, std::string& error) {
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
  return error.empty();
}

}  // namespace

bool WriteWholeFile(const std::string& path, std::string_view data, std::string& error) {
  error.clear();
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    // A device or pipe (/dev/stdout) takes the bytes as they come.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
      error = ErrorText(errno);
      return false;
    }
    return WriteAndClose(fd, data, error);
  }
  // A file-size limit (ulimit -f) then fails the write with EFBIG, where its signal would
  // end the process and leave the half-written file behind.
  static const bool size_signal_ignored = [] {
    ::signal(SIGXFSZ, SIG_IGN);
    return true;
  }();
  (void)size_signal_ignored;
  // Written beside it, then put in its place: a failure leaves the file that was there. The
  // temporary name is short, so that a name near the system's longest still has one.
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = path.rfind('/');
  const std::string temporary = path.substr(0, slash == std::string::npos ? 0 : slash + 1) +
                                ".kelvaro-" + std::to_string(::getpid()) + "-" +
                                std::to_string(counter.fetch_add(1)) + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = ErrorText(errno);
    return false;
  }
  if (WriteAndClose(fd, data, error)) {
    if (::rename(temporary.c_str(), path.c_str()) == 0) return true;
    error = ErrorText(errno);
  }
  ::unlink(temporary.c_str());
  return false;
}

bool IsDevicePath(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

// Asked of the system's rights, not by creating a file: nothing for runs at the same time or
// a stray file to disturb.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
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

bool MakeDirectories(const std::string& path, std::string& error) {
  error.clear();
  if (path.empty()) {
    error = ErrorText(ENOENT);
    return false;
  }
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
      error = ErrorText(errno);
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = ErrorText(ENOTDIR);
    return false;
  }
  return true;
}

namespace {

// Kelvaro's folder in an XDG base directory: $`variable` when absolute (the XDG rules ignore
// a relative one), else `fallback` under the home folder; empty without either.
std::string XdgFolder(const char* variable, const std::string& fallback) {
  if (const char* set = std::getenv(variable); set != nullptr && set[0] == '/') {
    return JoinPath(set, "kelvaro");
  }
  const std::string home = HomeDirectory();
  return home.empty() ? std::string() : JoinPath(JoinPath(home, fallback), "kelvaro");
}

}  // namespace

std::string SettingsFilePath() {
  const std::string folder = XdgFolder("XDG_CONFIG_HOME", ".config");
  return folder.empty() ? folder : JoinPath(folder, "settings.ini");
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries, std::string& error) {
  entries.clear();
  error.clear();
  DIR* folder = ::opendir(path.c_str());
  if (folder == nullptr) {
    error = ErrorText(errno);
    return false;
  }
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    FolderEntry listed{name, FolderEntry::Kind::kOther, name.front() == '.'};
    if (::fstatat(::dirfd(folder), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
      listed.kind = S_ISLNK(info.st_mode)   ? FolderEntry::Kind::kLink
                    : S_ISDIR(info.st_mode) ? FolderEntry::Kind::kFolder
                    : S_ISREG(info.st_mode) ? FolderEntry::Kind::kFile
                                            : FolderEntry::Kind::kOther;
    }
    entries.push_back(std::move(listed));
  }
  ::closedir(folder);
  return true;
}

std::string EnvironmentText(const char* name) {
  const char* set = std::getenv(name);
  return set == nullptr ? std::string() : std::string(set);
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && lstat(path.c_str(), &info) == 0;
}

bool RenameFile(const std::string& from, const std::string& to, std::string& error) {
  error.clear();
  // link + unlink, not rename: rename would replace a file that appeared at `to` meanwhile.
  if (link(from.c_str(), to.c_str()) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (unlink(from.c_str()) != 0) {
    error = std::strerror(errno);
    unlink(to.c_str());
    return false;
  }
  return true;
}

std::string ParentFolder(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string DataFolder() { return XdgFolder("XDG_DATA_HOME", JoinPath(".local", "share")); }

}  // namespace kelvaro::platform
