#include "platform/windows/wide.h"

#include <windows.h>

namespace kelvaro::platform {

bool Utf8ToWide(const std::string& utf8, std::wstring& wide) {
  wide.clear();
  if (utf8.empty()) return true;
  const int size = static_cast<int>(utf8.size());
  const int len = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (len <= 0) return false;
  wide.resize(static_cast<std::size_t>(len));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), len);
  return true;
}

std::string WideToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int len = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (len <= 0) return {};
  std::string utf8(static_cast<std::size_t>(len), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), len, nullptr, nullptr);
  return utf8;
}

std::string SystemErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD len = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = len > 0 && buffer ? std::wstring(buffer, len) : std::wstring();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                           text.back() == L'.')) {
    text.pop_back();
  }
  if (text.empty()) return "error " + std::to_string(code);
  return WideToUtf8(text);
}

}  // namespace kelvaro::platform
