#include "query/import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "web/encoding.h"

namespace kelvaro {
namespace {

std::string ErrorText(int error_number) { return std::strerror(error_number); }

}  // namespace

bool ReadWholeFile(const std::string& path, Bytes& out, std::string& error) {
  out.clear();
  error.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = ErrorText(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    out.reserve(static_cast<std::size_t>(info.st_size));
  }
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

int ImportNumbersFromBytes(ResultTable& table, const Bytes& bytes) {
  const Text text = Utf8ToGbk(BytesToText(bytes));
  const TextList lines = SplitText(text, "\r\n");
  const int n = static_cast<int>(lines.size());
  for (int i = 1; i <= n; ++i) {
    const int row = table.AppendRow(std::to_string(i));
    table.SetCellText(row, 1, lines[static_cast<std::size_t>(i) - 1]);
  }
  return n;
}

bool ImportNumbersFromFile(ResultTable& table, const std::string& path, std::string* error) {
  table.ClearRows();
  Bytes bytes;
  std::string reason;
  if (!ReadWholeFile(path, bytes, reason)) {
    if (error != nullptr) *error = reason;
    return false;
  }
  ImportNumbersFromBytes(table, bytes);
  return true;
}

}  // namespace kelvaro
