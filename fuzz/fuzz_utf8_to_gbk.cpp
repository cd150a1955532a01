// Conversion at the edges. UTF-8 to GBK never yields a zero byte from a text without one,
// always yields whole GBK characters, turns each maximal invalid UTF-8 subpart into one "?",
// and text GBK can hold comes back unchanged through GbkToUtf8 (but for the dashes and spaces
// that take an ASCII form). GbkToUtf8 always yields valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/encoding.h"

namespace {

using kelvaro::Text;
using kelvaro::fuzz::Show;

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes UTF-8 the Unicode way: a well-formed sequence gives its code point, anything else
// one kInvalid per maximal subpart (the longest prefix of some well-formed sequence, at
// least one byte).
std::vector<char32_t> Decode(const std::string& s) {
  std::vector<char32_t> out;
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b <= 0x7F) {
      out.push_back(b);
      ++i;
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF)
      length = 2;
    else if (b == 0xE0)
      length = 3, low = 0xA0;
    else if (b >= 0xE1 && b <= 0xEC)
      length = 3;
    else if (b == 0xED)
      length = 3, high = 0x9F;
    else if (b >= 0xEE && b <= 0xEF)
      length = 3;
    else if (b == 0xF0)
      length = 4, low = 0x90;
    else if (b >= 0xF1 && b <= 0xF3)
      length = 4;
    else if (b == 0xF4)
      length = 4, high = 0x8F;
    if (length == 0) {
      out.push_back(kInvalid);
      ++i;
      continue;
    }
    char32_t c = b & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    std::size_t j = 1;
    for (; j < static_cast<std::size_t>(length) && i + j < s.size(); ++j) {
      const unsigned char t = static_cast<unsigned char>(s[i + j]);
      const unsigned char lo = j == 1 ? low : 0x80;
      const unsigned char hi = j == 1 ? high : 0xBF;
      if (t < lo || t > hi) break;
      c = (c << 6) | (t & 0x3F);
    }
    if (j == static_cast<std::size_t>(length)) {
      out.push_back(c);
    } else {
      out.push_back(kInvalid);
    }
    i += j;
  }
  return out;
}

bool IsValidUtf8(const std::string& s) {
  for (char32_t c : Decode(s)) {
    if (c == kInvalid) return false;
  }
  return true;
}

// Whole GBK characters only: every lead byte has a trail byte of 40..7E or 80..FE after it.
bool IsWholeGbk(const Text& t) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(t[i]);
    if (c < 0x80) continue;
    if (c == 0x80 || c == 0xFF || i + 1 >= t.size()) return false;
    const unsigned char d = static_cast<unsigned char>(t[++i]);
    if (d < 0x40 || d == 0x7F || d == 0xFF) return false;
  }
  return true;
}

// The dashes and spaces GBK lacks, which Utf8ToGbk writes in ASCII.
bool HasAsciiNeighbour(const std::vector<char32_t>& decoded) {
  for (char32_t c : decoded) {
    if (c == 0x2011 || c == 0x2212 || c == 0x00A0 || c == 0x2007 || c == 0x202F) return true;
  }
  return false;
}

std::size_t Count(const std::string& s, char c) {
  std::size_t n = 0;
  for (char x : s) n += x == c;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string s = kelvaro::fuzz::TextUpToZero(data, size);
  const Text gbk = kelvaro::Utf8ToGbk(s);
  const auto ctx = [&] { return std::string("Utf8ToGbk " + Show(s) + " gave " + Show(gbk)); };
  FUZZ_EXPECT(gbk.find('\0') == Text::npos, ctx() + " (zero byte)");
  FUZZ_EXPECT(IsWholeGbk(gbk), ctx() + " (half a character)");

  const std::vector<char32_t> decoded = Decode(s);
  const bool bom = s.compare(0, 3, "\xEF\xBB\xBF") == 0;

  // Text of ASCII and invalid bytes only: ASCII is copied, each invalid subpart is one "?",
  // and so is U+FFFD itself, which GBK lacks.
  bool plain = true;
  Text expected;
  for (std::size_t k = bom ? 1 : 0; k < decoded.size(); ++k) {
    if (decoded[k] == kInvalid || decoded[k] == kReplacement) {
      expected += '?';
    } else if (decoded[k] < 0x80) {
      expected += static_cast<char>(decoded[k]);
    } else {
      plain = false;
      break;
    }
  }
  if (plain) FUZZ_EXPECT_EQ(gbk, expected, ctx());

  // Back to UTF-8: valid, free of U+FFFD (GBK output holds only characters GBK has), and
  // converting it once more gives the same GBK.
  const std::string back = kelvaro::GbkToUtf8(gbk);
  const auto back_ctx = [&] { return std::string(ctx() + " back " + Show(back)); };
  FUZZ_EXPECT(IsValidUtf8(back), back_ctx() + " (valid UTF-8)");
  FUZZ_EXPECT(back.find("\xEF\xBF\xBD") == std::string::npos, back_ctx() + " (U+FFFD)");
  FUZZ_EXPECT_EQ(kelvaro::Utf8ToGbk(back), gbk, back_ctx() + " (again)");

  // Valid UTF-8 that GBK can hold whole (no "?" added) comes back as it was.
  bool valid = true;
  for (char32_t c : decoded) valid = valid && c != kInvalid;
  if (valid && !bom && !HasAsciiNeighbour(decoded) && Count(gbk, '?') == Count(s, '?')) {
    FUZZ_EXPECT_EQ(back, s, back_ctx());
  }

  // Any bytes read as GBK give valid UTF-8 without a zero byte.
  const std::string any = kelvaro::GbkToUtf8(s);
  FUZZ_EXPECT(IsValidUtf8(any), "GbkToUtf8 " + Show(s) + " gave " + Show(any));
  FUZZ_EXPECT(any.find('\0') == std::string::npos, "GbkToUtf8 " + Show(s) + " (zero byte)");
  return 0;
}
