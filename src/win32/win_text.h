// The window shows UTF-16; the core's text is GBK. Converted with code page 936 named
// explicitly, so the window works whatever the system's ANSI code page is.
#pragma once

#include <string>

#include "text/text.h"

namespace kelvaro::win {

std::wstring GbkToWide(const Text& gbk);
// What code page 936 cannot hold becomes "?".
Text WideToGbk(const std::wstring& wide);
// For the program's own literals and the platform's UTF-8 paths and error texts.
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);

}  // namespace kelvaro::win
