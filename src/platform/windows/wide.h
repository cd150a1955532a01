// UTF-8 and UTF-16 at the edge of the Win32 calls.
#pragma once

#include <string>

namespace kelvaro::platform {

// Invalid UTF-8 gives an empty result and false.
bool Utf8ToWide(const std::string& utf8, std::wstring& wide);
std::string WideToUtf8(const std::wstring& wide);
// The system's text for an error code (GetLastError), in UTF-8, without the line break.
std::string SystemErrorText(unsigned long code);

}  // namespace kelvaro::platform
