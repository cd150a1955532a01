// Code page 936 by the Win32 conversion functions, always named explicitly: the system's
// ANSI code page may be anything.
#include <windows.h>

#include "platform/code_page.h"

namespace kelvaro::platform {
namespace {

constexpr UINT kCodePage936 = 936;

void FillEncode(GbkEncodeTable& encode) {
  for (char32_t c = 0x80; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const wchar_t wide = static_cast<wchar_t>(c);
    char out[8];
    BOOL used_default = FALSE;
    // No best fit: a character GBK lacks must not turn into a look-alike.
    const int len = WideCharToMultiByte(kCodePage936, WC_NO_BEST_FIT_CHARS, &wide, 1, out,
                                        sizeof out, nullptr, &used_default);
    if (len <= 0 || used_default) continue;
    const auto lead = static_cast<unsigned char>(out[0]);
    if (len == 2 && lead >= 0x80) {
      encode[c] = static_cast<std::uint16_t>((lead << 8) | static_cast<unsigned char>(out[1]));
    } else if (len == 1 && lead != 0 && lead < 0x80) {
      encode[c] = lead;
    }
    // Anything else (a single high byte would read as half a character) stays "?".
  }
}

void FillDecode(GbkDecodeTable& decode) {
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      wchar_t out[4];
      const int len = MultiByteToWideChar(kCodePage936, MB_ERR_INVALID_CHARS, in, 2, out, 4);
      if (len != 1) continue;
      const char32_t c = static_cast<char32_t>(out[0]);
      if (c >= 0x80 && !(c >= 0xD800 && c <= 0xDFFF)) decode[(lead - 0x80) * 256 + trail] = c;
    }
  }
}

}  // namespace

void FillCodePage936Tables(GbkEncodeTable& encode, GbkDecodeTable& decode) {
  FillEncode(encode);
  FillDecode(decode);
}

}  // namespace kelvaro::platform
