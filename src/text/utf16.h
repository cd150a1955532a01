// UTF-16 code units made code points: the one place a surrogate pair is joined, for every
// reader of UTF-16 here (text files, compound files, Word and Excel 97-2003, PDF strings).
#pragma once

#include <cstddef>

namespace kelvaro {

constexpr bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
constexpr bool IsSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// The code point a high and a low surrogate stand for.
constexpr char32_t JoinSurrogates(char32_t high, char32_t low) {
  return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// The code point whose first unit is `unit(at)`, of `count` units: a high surrogate and the
// low one after it joined, `at` then left on the low one. A lone surrogate is given as it is,
// for the caller to replace or drop as its format wants.
template <typename UnitAt>
char32_t NextCodePoint(const UnitAt& unit, std::size_t count, std::size_t& at) {
  const char32_t c = unit(at);
  if (!IsHighSurrogate(c) || at + 1 >= count) return c;
  const char32_t low = unit(at + 1);
  if (!IsLowSurrogate(low)) return c;
  ++at;
  return JoinSurrogates(c, low);
}

}  // namespace kelvaro
