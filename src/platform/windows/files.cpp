#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "platform/files.h"
#include "platform/windows/wide.h"
#include "text/text.h"

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

namespace {

// Writes all of `data` to `file` and closes it; the reason in `error` when that failed.
bool WriteAndClose(HANDLE file, std::string_view data, std::string& error) {
  std::size_t written = 0;
  while (written < data.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - written, 1 << 30));
    DWORD put = 0;
    if (!WriteFile(file, data.data() + written, chunk, &put, nullptr) || put == 0) {
      error = SystemErrorText(put == 0 && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError());
      break;
    }
    written += put;
  }
  if (!CloseHandle(file) && error.empty()) error = SystemErrorText(GetLastError());
  return error.empty();
}

// The device `path` names, as "\\.\NUL": the system's own reading of the legacy names,
// whatever folder, case, extension or trailing spaces they come with.
std::wstring DeviceOf(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  DWORD length =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length);
    length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) return {};
  full.resize(length);
  // "\\.\C:\dir\file" is a file reached through the device namespace.
  const bool device =
      full.rfind(L"\\\\.\\", 0) == 0 && !(full.size() >= 6 && full[5] == L':' &&
                                          (full[4] | 0x20) >= L'a' && (full[4] | 0x20) <= L'z');
  return device ? full : std::wstring();
}

}  // namespace

bool WriteWholeFile(const std::string& path, std::string_view data, std::string& error) {
  error.clear();
  std::wstring wide;
  if (!Utf8ToWide(path, wide) || wide.empty()) {
    error = SystemErrorText(ERROR_INVALID_NAME);
    return false;
  }
  if (const std::wstring device = DeviceOf(wide); !device.empty()) {
    // A device takes the bytes as they come and cannot be renamed onto. Wine opens
    // "C:\missing\NUL" only by the device's own name.
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      file = CreateFileW(device.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) {
      error = SystemErrorText(GetLastError());
      return false;
    }
    return WriteAndClose(file, data, error);
  }
  // Written beside it, then put in its place: a failure leaves the file that was there. The
  // temporary name is short, so that a name near the system's longest still has one.
  static std::atomic<unsigned> counter{0};
  const std::size_t separator = wide.find_last_of(L"\\/:");
  const std::wstring temporary =
      wide.substr(0, separator == std::wstring::npos ? 0 : separator + 1) + L".kelvaro-" +
      std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter.fetch_add(1)) +
      L".tmp";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = SystemErrorText(GetLastError());
    return false;
  }
  if (WriteAndClose(file, data, error) &&
      MoveFileExW(temporary.c_str(), wide.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  if (error.empty()) error = SystemErrorText(GetLastError());
  DeleteFileW(temporary.c_str());
  return false;
}

bool IsDevicePath(const std::string& path) {
  std::wstring wide;
  return Utf8ToWide(path, wide) && !wide.empty() && !DeviceOf(wide).empty();
}

namespace {

bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  std::wstring wide;
  if (!Utf8ToWide(path, wide) || wide.empty()) return false;
  // No access asked: a file open elsewhere, even for writing, still tells who it is.
  HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return known;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return FileIdentity(a, first) && FileIdentity(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool IsWritableDirectory(const std::string& path) {
  std::wstring wide;
  if (!Utf8ToWide(path, wide) || wide.empty()) return false;
  // Access rights say little on Windows (virtualised folders, ACLs): try it, under a name no
  // other run asking at the same time uses. A stray file of that name only costs a retry.
  static std::atomic<unsigned> counter{0};
  const std::wstring base =
      wide + L"\\.kelvaro-write-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-";
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::wstring probe = base + std::to_wstring(counter.fetch_add(1));
    HANDLE file = CreateFileW(
        probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

std::string HomeDirectory() {
  std::wstring home(32768, L'\0');
  const DWORD length =
      GetEnvironmentVariableW(L"USERPROFILE", home.data(), static_cast<DWORD>(home.size()));
  home.resize(length < home.size() ? length : 0);
  return WideToUtf8(home);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory.back() == '\\' || directory.back() == '/') {
    return directory + name;
  }
  return directory + "\\" + name;
}

bool MakeDirectories(const std::string& path, std::string& error) {
  error.clear();
  std::wstring wide;
  if (!Utf8ToWide(path, wide) || wide.empty()) {
    error = SystemErrorText(ERROR_INVALID_NAME);
    return false;
  }
  // Each folder on the way; a drive or share that cannot be made is there or fails below.
  for (std::size_t slash = wide.find_first_of(L"\\/", 1); slash != std::wstring::npos;
       slash = wide.find_first_of(L"\\/", slash + 1)) {
    CreateDirectoryW(wide.substr(0, slash).c_str(), nullptr);
  }
  if (!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    error = SystemErrorText(GetLastError());
    return false;
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error = SystemErrorText(ERROR_DIRECTORY);
    return false;
  }
  return true;
}

namespace {

// Kelvaro's folder in the profile folder the environment variable `variable` names; empty
// when it is not set.
std::string ProfileFolder(const wchar_t* variable) {
  std::wstring folder(32768, L'\0');
  const DWORD length =
      GetEnvironmentVariableW(variable, folder.data(), static_cast<DWORD>(folder.size()));
  if (length == 0 || length >= folder.size()) return {};
  folder.resize(length);
  return JoinPath(WideToUtf8(folder), "Kelvaro");
}

}  // namespace

std::string SettingsFilePath() {
  const std::string folder = ProfileFolder(L"APPDATA");
  return folder.empty() ? folder : JoinPath(folder, "settings.ini");
}

bool IsFolder(const std::string& path) {
  std::wstring wide;
  if (!Utf8ToWide(path, wide) || wide.empty()) return false;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries, std::string& error) {
  entries.clear();
  error.clear();
  std::wstring pattern;
  if (!Utf8ToWide(JoinPath(path, "*"), pattern) || path.empty()) {
    error = SystemErrorText(ERROR_INVALID_NAME);
    return false;
  }
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    error = SystemErrorText(GetLastError());
    return false;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const DWORD attributes = found.dwFileAttributes;
    FolderEntry listed{WideToUtf8(name), FolderEntry::Kind::kFile,
                       (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0 ||
                           name.front() == L'.'};
    // Junctions and symbolic links are reparse points: never walked into.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      listed.kind = FolderEntry::Kind::kLink;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      listed.kind = FolderEntry::Kind::kFolder;
    } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
      listed.kind = FolderEntry::Kind::kOther;
    }
    entries.push_back(std::move(listed));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return true;
}

std::string EnvironmentText(const char* name) {
  std::wstring wide_name;
  if (!Utf8ToWide(name, wide_name)) return {};
  std::wstring value(32768, L'\0');
  const DWORD length =
      GetEnvironmentVariableW(wide_name.c_str(), value.data(), static_cast<DWORD>(value.size()));
  if (length == 0 || length >= value.size()) return {};
  value.resize(length);
  return WideToUtf8(value);
}

bool PathExists(const std::string& path) {
  std::wstring wide;
  return Utf8ToWide(path, wide) && !wide.empty() &&
         GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RenameFile(const std::string& from, const std::string& to, std::string& error) {
  error.clear();
  std::wstring wide_from, wide_to;
  if (!Utf8ToWide(from, wide_from) || !Utf8ToWide(to, wide_to)) {
    error = SystemErrorText(ERROR_INVALID_NAME);
    return false;
  }
  // Without MOVEFILE_REPLACE_EXISTING: a file at `to` is never replaced.
  if (!MoveFileExW(wide_from.c_str(), wide_to.c_str(), 0)) {
    error = SystemErrorText(GetLastError());
    return false;
  }
  return true;
}

std::string ParentFolder(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return {};
  return path.substr(0, slash);
}

std::string DataFolder() { return ProfileFolder(L"LOCALAPPDATA"); }

}  // namespace kelvaro::platform
