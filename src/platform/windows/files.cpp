#include <windows.h>

#include <cstdint>

#include "platform/files.h"
#include "platform/windows/wide.h"

namespace kelvaro::platform {

bool ReadWholeFile(const std::string& path, Bytes& out, std::string& error) {
  out.clear();
  error.clear();
  std::wstring wide;
  if (!Utf8ToWide(path, wide) || wide.empty()) {
    error = SystemErrorText(ERROR_INVALID_NAME);
    return false;
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error = "Is a directory";
    return false;
  }
  // Others may read along, nobody may write while the numbers are read.
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = SystemErrorText(GetLastError());
    return false;
  }
  // Devices (CON, NUL, COM1) never end or block; pipes hold no numbers file.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    error = "not a regular file";
    return false;
  }
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
    out.reserve(static_cast<std::size_t>(size.QuadPart));
  }
  std::uint8_t buffer[1 << 16];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      error = SystemErrorText(GetLastError());
      out.clear();
      CloseHandle(file);
      return false;
    }
    if (got == 0) break;
    out.insert(out.end(), buffer, buffer + got);
  }
  CloseHandle(file);
  return true;
}

}  // namespace kelvaro::platform
