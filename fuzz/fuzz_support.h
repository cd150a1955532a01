// Shared plumbing of the fuzz drivers: cutting an input into texts and control values, and
// stopping with a readable report when an invariant breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/text.h"

namespace kelvaro::fuzz {

// An input is three control bytes (flags and two small signed numbers), then texts separated
// by zero bytes. Texts never hold a zero byte, so the separator cannot occur inside one.
struct Input {
  std::uint8_t flags = 0;
  int a = 0;
  int b = 0;
  std::vector<Text> texts;  // always `count` of them; missing ones are empty
  Bytes raw;                // everything after the control bytes
};

inline Input ParseInput(const std::uint8_t* data, std::size_t size, std::size_t count) {
  Input in;
  std::size_t i = 0;
  if (i < size) in.flags = data[i++];
  if (i < size) in.a = static_cast<std::int8_t>(data[i++]);
  if (i < size) in.b = static_cast<std::int8_t>(data[i++]);
  in.raw.assign(data + i, data + size);
  in.texts.assign(count, Text());
  std::size_t k = 0;
  for (; i < size && k < count; ++i) {
    if (data[i] == 0) {
      ++k;
    } else {
      in.texts[k].push_back(static_cast<char>(data[i]));
    }
  }
  return in;
}

// The whole input up to its first zero byte, as a page body or an imported file is taken.
inline Text TextUpToZero(const std::uint8_t* data, std::size_t size) {
  std::size_t n = 0;
  while (n < size && data[n] != 0) ++n;
  return Text(reinterpret_cast<const char*>(data), n);
}

inline std::string Hex(const std::string& s) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(s.size() * 3 + 2);
  out += '"';
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    }
  }
  out += '"';
  return out;
}

inline std::string Show(const Text& t) { return Hex(t); }
inline std::string Show(int v) { return std::to_string(v); }
inline std::string Show(unsigned v) { return std::to_string(v); }
inline std::string Show(long v) { return std::to_string(v); }
inline std::string Show(unsigned long v) { return std::to_string(v); }
inline std::string Show(char v) { return Hex(std::string(1, v)); }
inline std::string Show(bool v) { return v ? "true" : "false"; }
inline std::string Show(const TextList& list) {
  std::string out = "[";
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i != 0) out += ", ";
    out += Hex(list[i]);
  }
  return out + "]";
}

[[noreturn]] inline void Fail(const char* file, int line, const std::string& what) {
  std::fprintf(stderr, "\n==== invariant broken at %s:%d\n%s\n", file, line, what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace kelvaro::fuzz

// Stops the run when `actual` differs from `expected`; `context` says which call on which inputs.
#define FUZZ_EXPECT_EQ(actual, expected, context)                                          \
  do {                                                                                     \
    const auto& fuzz_actual_ = (actual);                                                   \
    const auto& fuzz_expected_ = (expected);                                               \
    if (!(fuzz_actual_ == fuzz_expected_)) {                                               \
      ::kelvaro::fuzz::Fail(__FILE__, __LINE__,                                            \
                            std::string(context) +                                         \
                                "\n  actual:   " + ::kelvaro::fuzz::Show(fuzz_actual_) +   \
                                "\n  expected: " + ::kelvaro::fuzz::Show(fuzz_expected_)); \
    }                                                                                      \
  } while (false)

#define FUZZ_EXPECT(condition, context)                                                            \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      ::kelvaro::fuzz::Fail(__FILE__, __LINE__, std::string(context) + "\n  failed: " #condition); \
    }                                                                                              \
  } while (false)
