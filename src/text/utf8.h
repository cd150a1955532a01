// UTF-8 read and written one character at a time, the same way by every reader here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvaro {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the character at `i` and moves `i` past it. Strict: no overlong forms, surrogates
// or values past U+10FFFF. An invalid sequence gives U+FFFD and uses its maximal subpart (the
// longest prefix of a valid sequence, at least one byte).
inline char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  ++i;
  if (b0 < 0x80) return b0;
  int need = 0;
  unsigned char lower = 0x80;
  unsigned char upper = 0xBF;
  char32_t c = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    c = b0 & 0x0F;
    if (b0 == 0xE0) lower = 0xA0;
    if (b0 == 0xED) upper = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    c = b0 & 0x07;
    if (b0 == 0xF0) lower = 0x90;
    if (b0 == 0xF4) upper = 0x8F;  // nothing above U+10FFFF
  } else {
    return kReplacementCharacter;  // 80..C1, F5..FF never start a character
  }
  for (int k = 0; k < need; ++k) {
    if (i >= s.size()) return kReplacementCharacter;
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < lower || b > upper) return kReplacementCharacter;  // b is not used
    lower = 0x80;
    upper = 0xBF;
    c = (c << 6) | (b & 0x3F);
    ++i;
  }
  return c;
}

// One code point, written out whatever it is (a surrogate too, as test input may need).
inline void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace kelvaro
