#include "win32/win_text.h"

#include <windows.h>

namespace kelvaro::win {

namespace {

constexpr UINT kCodePage936 = 936;

std::wstring ToWide(UINT code_page, const std::string& bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(code_page, 0, bytes.data(), size, wide.data(), length);
  return wide;
}

std::string FromWide(UINT code_page, const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  // Code page 936 takes a default character; UTF-8 refuses one.
  const char* fallback = code_page == CP_UTF8 ? nullptr : "?";
  const int length =
      WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, fallback, nullptr);
  if (length <= 0) return {};
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), size, bytes.data(), length, fallback, nullptr);
  return bytes;
}

}  // namespace

std::wstring GbkToWide(const Text& gbk) { return ToWide(kCodePage936, gbk); }
Text WideToGbk(const std::wstring& wide) { return FromWide(kCodePage936, wide); }
std::wstring Utf8ToWide(const std::string& utf8) { return ToWide(CP_UTF8, utf8); }
std::string WideToUtf8(const std::wstring& wide) { return FromWide(CP_UTF8, wide); }

}  // namespace kelvaro::win
