// Code page 936 through glibc's iconv, which knows it under both names.
#include <iconv.h>

#include <cstddef>

#include "platform/code_page.h"

namespace kelvaro::platform {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

iconv_t OpenIconv(const char* other, bool to_gbk) {
  for (const char* gbk : {"CP936", "GBK"}) {
    iconv_t cd = to_gbk ? iconv_open(gbk, other) : iconv_open(other, gbk);
    if (cd != kNoConverter) return cd;
  }
  return kNoConverter;
}

bool Convert(iconv_t cd, char* in, std::size_t in_size, unsigned char* out, std::size_t& out_size) {
  char* in_ptr = in;
  std::size_t in_left = in_size;
  char* out_ptr = reinterpret_cast<char*>(out);
  std::size_t out_left = out_size;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  const std::size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  out_size -= out_left;
  return r != static_cast<std::size_t>(-1) && in_left == 0;
}

void FillEncode(GbkEncodeTable& encode) {
  iconv_t cd = OpenIconv("UTF-32LE", true);
  if (cd == kNoConverter) return;  // no converter: every non-ASCII character is "?"
  for (char32_t c = 0x80; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF), 0, 0};
    unsigned char out[8];
    std::size_t len = sizeof out;
    if (!Convert(cd, in, sizeof in, out, len)) continue;
    if (len == 2 && out[0] >= 0x80) {
      encode[c] = static_cast<std::uint16_t>((out[0] << 8) | out[1]);
    } else if (len == 1 && out[0] != 0 && out[0] < 0x80) {
      encode[c] = out[0];
    }
    // Anything else (a single high byte would read as half a character) stays "?".
  }
  iconv_close(cd);
}

void FillDecode(GbkDecodeTable& decode) {
  iconv_t cd = OpenIconv("UTF-32LE", false);
  if (cd == kNoConverter) return;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      unsigned char out[16];
      std::size_t len = sizeof out;
      if (!Convert(cd, in, sizeof in, out, len) || len != 4) continue;
      const char32_t c = static_cast<char32_t>(out[0]) | (static_cast<char32_t>(out[1]) << 8) |
                         (static_cast<char32_t>(out[2]) << 16) |
                         (static_cast<char32_t>(out[3]) << 24);
      if (c >= 0x80 && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF)) {
        decode[(lead - 0x80) * 256 + trail] = c;
      }
    }
  }
  iconv_close(cd);
}

}  // namespace

void FillCodePage936Tables(GbkEncodeTable& encode, GbkDecodeTable& decode) {
  FillEncode(encode);
  FillDecode(decode);
}

}  // namespace kelvaro::platform
