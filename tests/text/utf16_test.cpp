#include "text/utf16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvaro {
namespace {

// The code points NextCodePoint makes of `units`, walked as every reader walks them.
std::u32string Walk(const std::vector<char32_t>& units) {
  const auto unit = [&](std::size_t k) { return units[k]; };
  std::u32string out;
  for (std::size_t k = 0; k < units.size(); ++k) out += NextCodePoint(unit, units.size(), k);
  return out;
}

TEST(Utf16, APairIsOneCodePointAndALoneSurrogateStaysForTheCaller) {
  EXPECT_EQ(Walk({0x4E2D, 0xD83D, 0xDE00, 0x41}), std::u32string({0x4E2D, 0x1F600, 0x41}));
  EXPECT_EQ(Walk({0xD800, 0xDC00}), std::u32string({0x10000}));
  EXPECT_EQ(Walk({0xDBFF, 0xDFFF}), std::u32string({0x10FFFF}));
  // A high surrogate without its low one, at the end or before another unit; a low one alone.
  EXPECT_EQ(Walk({0x41, 0xD83D}), std::u32string({0x41, 0xD83D}));
  EXPECT_EQ(Walk({0xD83D, 0x41}), std::u32string({0xD83D, 0x41}));
  EXPECT_EQ(Walk({0xDE00, 0xD83D, 0xD83D, 0xDE00}), std::u32string({0xDE00, 0xD83D, 0x1F600}));
  EXPECT_TRUE(IsSurrogate(0xD800) && IsSurrogate(0xDFFF));
  EXPECT_FALSE(IsSurrogate(0xD7FF) || IsSurrogate(0xE000));
}

}  // namespace
}  // namespace kelvaro
