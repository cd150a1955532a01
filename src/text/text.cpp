#include "text/text.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace kelvaro {

namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

inline unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

// A byte of 0x80 or more starts a two-byte character.
inline std::size_t CharLength(char c) { return Byte(c) >= 0x80 ? 2 : 1; }

inline bool IsAsciiLetter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

inline bool IsFullWidthSpace(std::string_view text, std::size_t i) {
  return Byte(text[i]) == 0xA1 && i + 1 < text.size() && Byte(text[i + 1]) == 0xA1;
}

// Length of the space starting at i (1 or 2), or 0 when the character there is no space.
inline std::size_t SpaceLength(std::string_view text, std::size_t i) {
  if (text[i] == ' ') return 1;
  if (IsFullWidthSpace(text, i)) return 2;
  return 0;
}

inline int ToPosition(std::size_t index) {
  // Texts here are far below 2 GiB; a position that cannot be told counts as not found.
  return index < static_cast<std::size_t>(INT_MAX) ? static_cast<int>(index) + 1 : -1;
}

// Compares the needle with the text at `at`, ASCII letters without regard to case. Only
// single-byte letters fold: the second byte of a two-byte character is compared exactly,
// so a character is never taken for another one.
bool MatchesIgnoringCase(std::string_view text, std::size_t at, std::string_view needle) {
  const std::size_t m = needle.size();
  std::size_t j = 0;
  while (j < m) {
    const unsigned char nb = Byte(needle[j]);
    const unsigned char tb = Byte(text[at + j]);
    if (nb >= 0x80) {
      if (nb != tb) return false;
      if (j + 1 < m && needle[j + 1] != text[at + j + 1]) return false;
      j += 2;
    } else {
      if (FoldAscii(nb) != FoldAscii(tb)) return false;
      ++j;
    }
  }
  return true;
}

bool HasSingleByteLetter(std::string_view needle) {
  for (std::size_t j = 0; j < needle.size(); j += CharLength(needle[j])) {
    if (IsAsciiLetter(Byte(needle[j]))) return true;
  }
  return false;
}

// Whether c is a character boundary of a scan that started at the boundary w (w <= c).
// The byte after any byte below 0x80 is a boundary (that byte is a one-byte character or
// ends a two-byte one), and from there bytes of 0x80 or more pair up: so only the run of
// high bytes just before c is looked at, never the text from w on.
inline bool IsBoundary(const char* base, std::size_t w, std::size_t c) {
  std::size_t k = c;
  while (k > w && Byte(base[k - 1]) >= 0x80) --k;
  return ((c - k) & 1) == 0;
}

// First occurrence of a non-empty needle that starts on a character boundary at or after
// `from` (itself taken as a boundary), as a 0-based index, or kNotFound. Linear in the text.
std::size_t FindFrom(std::string_view text, std::string_view needle, std::size_t from,
                     bool ignore_case) {
  const std::size_t n = text.size();
  const std::size_t m = needle.size();
  if (m == 0 || from >= n || m > n - from) return kNotFound;
  const char* base = text.data();
  std::size_t w = from;  // a known boundary; no candidate before it is looked at again
  if (!ignore_case || !HasSingleByteLetter(needle)) {
    while (w < n && m <= n - w) {
      // string_view::find (memchr, then compare) rather than memmem: the sanitizer's memmem
      // checks the whole rest of the text on every call, which makes a split quadratic.
      const std::size_t c = text.find(needle, w);
      if (c == std::string_view::npos) return kNotFound;
      if (IsBoundary(base, w, c)) return c;
      w = c + 1;  // c is the second byte of a character, so the next byte starts one
    }
    return kNotFound;
  }
  const unsigned char first = FoldAscii(Byte(needle[0]));
  for (std::size_t c = w; c < n && m <= n - c; ++c) {
    if (FoldAscii(Byte(base[c])) != first || !MatchesIgnoringCase(text, c, needle)) continue;
    if (IsBoundary(base, w, c)) return c;
    w = c + 1;
  }
  return kNotFound;
}

// Turns a 1-based start into a 0-based index; false when the start lies beyond the text.
bool StartIndex(std::string_view text, int start, std::size_t& index) {
  if (start < 1) start = 1;
  index = static_cast<std::size_t>(start) - 1;
  return index < text.size();
}

// "#引号" in GBK: a marker's way of writing a double quote.
constexpr std::string_view kQuotePlaceholder = "#\xD2\xFD\xBA\xC5";

}  // namespace

int TextLength(const Text& text) {
  return text.size() < static_cast<std::size_t>(INT_MAX) ? static_cast<int>(text.size()) : INT_MAX;
}

int FindText(const Text& text, const Text& search, int start, bool ignore_case) {
  std::size_t from = 0;
  if (!StartIndex(text, start, from)) return -1;
  if (search.empty()) return 1;
  const std::size_t at = FindFrom(text, search, from, ignore_case);
  return at == kNotFound ? -1 : ToPosition(at);
}

TextList SplitText(const Text& text, const Text& separator) {
  TextList items;
  if (text.empty()) return items;
  if (separator.empty()) {
    items.push_back(text);
    return items;
  }
  std::size_t piece = 0;
  while (piece < text.size()) {
    const std::size_t at = FindFrom(text, separator, piece, false);
    if (at == kNotFound) break;
    items.emplace_back(text, piece, at - piece);
    piece = at + separator.size();
  }
  if (piece < text.size()) items.emplace_back(text, piece);
  return items;
}

Text TrimSpaces(const Text& text) {
  const std::size_t n = text.size();
  std::size_t begin = 0;
  while (begin < n) {
    const std::size_t space = SpaceLength(text, begin);
    if (space == 0) break;
    begin += space;
  }
  // The end is found walking forwards: from the back, A1 A1 may be the tail of another character.
  std::size_t end = begin;
  std::size_t i = begin;
  while (i < n) {
    const std::size_t space = SpaceLength(text, i);
    if (space != 0) {
      i += space;
    } else {
      i += CharLength(text[i]);
      end = i < n ? i : n;
    }
  }
  return text.substr(begin, end - begin);
}

Text RemoveAllSpaces(const Text& text) {
  const std::size_t n = text.size();
  Text out;
  out.reserve(n);
  std::size_t i = 0;
  while (i < n) {
    const std::size_t space = SpaceLength(text, i);
    if (space != 0) {
      i += space;
      continue;
    }
    const std::size_t len = CharLength(text[i]);
    out.append(text, i, len);  // a lone lead byte at the end is copied alone
    i += len;
  }
  return out;
}

Text ReplaceText(const Text& text, const Text& old_text, const Text& new_text, bool ignore_case) {
  if (text.empty() || old_text.empty()) return text;
  Text out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t at = FindFrom(text, old_text, pos, ignore_case);
    if (at == kNotFound) break;
    out.append(text, pos, at - pos);
    out += new_text;
    pos = at + old_text.size();
  }
  if (pos < text.size()) out.append(text, pos, Text::npos);
  return out;
}

Text LeftText(const Text& text, int n) {
  if (n <= 0) return {};
  return text.substr(0, static_cast<std::size_t>(n));
}

Text RightText(const Text& text, int n) {
  if (n <= 0) return {};
  const std::size_t count = static_cast<std::size_t>(n);
  if (count >= text.size()) return text;
  return text.substr(text.size() - count);
}

Text MiddleText(const Text& text, int start, int n) {
  if (start < 1 || n <= 0) return {};
  const std::size_t index = static_cast<std::size_t>(start) - 1;
  if (index >= text.size()) return {};
  return text.substr(index, static_cast<std::size_t>(n));
}

Text UpperCase(const Text& text) {
  Text out = text;
  const std::size_t n = out.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = Byte(out[i]);
    if (c >= 0x80) {
      i += 2;  // both bytes of the character stay
      continue;
    }
    if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - ('a' - 'A'));
    ++i;
  }
  return out;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

Bytes TextToBytes(const Text& text) { return Bytes(text.begin(), text.end()); }

Text BytesToText(const Bytes& bytes) {
  if (bytes.empty()) return {};
  const void* zero = std::memchr(bytes.data(), 0, bytes.size());
  const std::size_t n =
      zero == nullptr
          ? bytes.size()
          : static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - bytes.data());
  return Text(reinterpret_cast<const char*>(bytes.data()), n);
}

Text Base64Encode(const Bytes& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::size_t n = bytes.size();
  Text out;
  out.reserve((n + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const std::uint32_t v = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) |
                            std::uint32_t{bytes[i + 2]};
    out += kAlphabet[(v >> 18) & 0x3F];
    out += kAlphabet[(v >> 12) & 0x3F];
    out += kAlphabet[(v >> 6) & 0x3F];
    out += kAlphabet[v & 0x3F];
  }
  const std::size_t rest = n - i;
  if (rest == 1) {
    const std::uint32_t v = std::uint32_t{bytes[i]} << 16;
    out += kAlphabet[(v >> 18) & 0x3F];
    out += kAlphabet[(v >> 12) & 0x3F];
    out += "==";
  } else if (rest == 2) {
    const std::uint32_t v = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8);
    out += kAlphabet[(v >> 18) & 0x3F];
    out += kAlphabet[(v >> 12) & 0x3F];
    out += kAlphabet[(v >> 6) & 0x3F];
    out += '=';
  }
  return out;
}

Text TextBetween(const Text& text, Text left_marker, Text right_marker, int start,
                 bool ignore_case) {
  const Text placeholder(kQuotePlaceholder);
  left_marker = ReplaceText(left_marker, placeholder, "\"");
  right_marker = ReplaceText(right_marker, placeholder, "\"");
  const int p = FindText(text, left_marker, start, ignore_case);
  if (p == -1) return {};
  // p + length stays within the text (the marker was found in it), so no overflow.
  const long long e_wide = static_cast<long long>(p) + static_cast<long long>(left_marker.size());
  if (e_wide > INT_MAX) return {};
  const int e = static_cast<int>(e_wide);
  const int q = FindText(text, right_marker, e, ignore_case);
  if (q == -1) return {};
  return MiddleText(text, e, q - e);
}

Text TextBefore(const Text& text, const Text& marker, int start, bool ignore_case) {
  if (start <= 0) start = 1;
  const int p = FindText(text, marker, start, ignore_case);
  if (p == -1) return {};
  return LeftText(text, p - 1);
}

}  // namespace kelvaro
