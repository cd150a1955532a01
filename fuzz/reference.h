// Straightforward, deliberately naive versions of the core's routines, written from their
// documented behaviour: the fuzz drivers compare the real routines with these. Quadratic
// scans are fine here; clarity is what matters.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "text/text.h"

namespace kelvaro::ref {

inline unsigned char U(char c) { return static_cast<unsigned char>(c); }
inline bool IsLead(char c) { return U(c) >= 0x80; }

// Width of the character at i of a scan: two bytes at a lead byte, except a lone lead byte
// at the very end.
inline std::size_t Width(const Text& t, std::size_t i) {
  return IsLead(t[i]) && i + 1 < t.size() ? 2 : 1;
}

// Character starts of a scan from the first byte.
inline std::vector<bool> Boundaries(const Text& t) {
  std::vector<bool> at(t.size() + 1, false);
  std::size_t i = 0;
  while (i < t.size()) {
    at[i] = true;
    i += Width(t, i);
  }
  at[t.size()] = true;
  return at;
}

// The characters of a text, as a scan from its first byte cuts them.
inline TextList Characters(const Text& t) {
  TextList out;
  for (std::size_t i = 0; i < t.size(); i += Width(t, i)) out.push_back(t.substr(i, Width(t, i)));
  return out;
}

inline unsigned char Fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// Whether `s` occurs at i, i being a character start. With ignore case, single-byte letters
// of the text fold; both bytes of a two-byte character are compared exactly.
inline bool Matches(const Text& t, std::size_t i, const Text& s, bool ignore_case) {
  if (s.size() > t.size() - i) return false;
  std::size_t j = 0;
  while (j < s.size()) {
    const unsigned char tc = U(t[i + j]);
    const unsigned char sc = U(s[j]);
    if (tc >= 0x80) {
      if (tc != sc) return false;
      if (j + 1 < s.size() && t[i + j + 1] != s[j + 1]) return false;
      j += 2;
    } else {
      if (ignore_case ? Fold(tc) != Fold(sc) : tc != sc) return false;
      ++j;
    }
  }
  return true;
}

inline int Find(const Text& t, const Text& s, int start = 1, bool ignore_case = false) {
  if (start < 1) start = 1;
  if (static_cast<std::size_t>(start) > t.size()) return -1;
  if (s.empty()) return 1;
  for (std::size_t i = static_cast<std::size_t>(start) - 1; i < t.size(); i += Width(t, i)) {
    if (Matches(t, i, s, ignore_case)) return static_cast<int>(i) + 1;
  }
  return -1;
}

// Separator must not be empty.
inline TextList Split(const Text& t, const Text& sep) {
  TextList items;
  if (t.empty()) return items;
  int pos = 1;
  for (;;) {
    const int q = Find(t, sep, pos);
    if (q == -1) break;
    items.push_back(t.substr(pos - 1, q - pos));
    pos = q + static_cast<int>(sep.size());
  }
  if (static_cast<std::size_t>(pos) <= t.size()) items.push_back(t.substr(pos - 1));
  return items;
}

inline std::size_t SpaceAt(const Text& t, std::size_t i) {
  if (t[i] == ' ') return 1;
  if (U(t[i]) == 0xA1 && i + 1 < t.size() && U(t[i + 1]) == 0xA1) return 2;
  return 0;
}

inline bool IsSpaceChar(const Text& c) { return c == " " || c == "\xA1\xA1"; }

inline Text Trim(const Text& t) {
  const TextList chars = Characters(t);
  std::size_t b = 0;
  std::size_t e = chars.size();
  while (b < e && IsSpaceChar(chars[b])) ++b;
  while (e > b && IsSpaceChar(chars[e - 1])) --e;
  Text out;
  for (std::size_t i = b; i < e; ++i) out += chars[i];
  return out;
}

inline Text RemoveSpaces(const Text& t) {
  Text out;
  for (const Text& c : Characters(t)) {
    if (!IsSpaceChar(c)) out += c;
  }
  return out;
}

inline Text Replace(const Text& t, const Text& old_text, const Text& new_text = {},
                    bool case_sensitive = false) {
  if (t.empty() || old_text.empty()) return t;
  Text out;
  std::size_t i = 0;
  while (i < t.size()) {
    if (Matches(t, i, old_text, !case_sensitive)) {
      out += new_text;
      i += old_text.size();
    } else {
      out.append(t, i, Width(t, i));
      i += Width(t, i);
    }
  }
  return out;
}

inline Text Left(const Text& t, int n) {
  if (n <= 0) return {};
  return static_cast<std::size_t>(n) >= t.size() ? t : t.substr(0, n);
}

inline Text Right(const Text& t, int n) {
  if (n <= 0) return {};
  return static_cast<std::size_t>(n) >= t.size() ? t : t.substr(t.size() - n);
}

inline Text Middle(const Text& t, int start, int n) {
  if (start < 1 || n <= 0 || static_cast<std::size_t>(start) > t.size()) return {};
  Text out;
  for (std::size_t i = start - 1; i < t.size() && out.size() < static_cast<std::size_t>(n); ++i) {
    out += t[i];
  }
  return out;
}

inline Text Upper(const Text& t) {
  Text out;
  for (const Text& c : Characters(t)) {
    if (c.size() == 1 && c[0] >= 'a' && c[0] <= 'z') {
      out += static_cast<char>(c[0] - 32);
    } else {
      out += c;
    }
  }
  return out;
}

inline Text Between(const Text& t, Text left, Text right, int start = 1, bool ignore_case = false) {
  const Text placeholder = "#\xD2\xFD\xBA\xC5";  // #引号
  left = Replace(left, placeholder, "\"", true);
  right = Replace(right, placeholder, "\"", true);
  const int p = Find(t, left, start, ignore_case);
  if (p == -1) return {};
  const int e = p + static_cast<int>(left.size());
  const int q = Find(t, right, e, ignore_case);
  if (q == -1) return {};
  return Middle(t, e, q - e);
}

inline Text Before(const Text& t, const Text& marker, int start = 1, bool ignore_case = false) {
  if (start <= 0) start = 1;
  const int p = Find(t, marker, start, ignore_case);
  return p == -1 ? Text() : Left(t, p - 1);
}

// Leading decimal integer after mapping GBK full-width ASCII forms, saturated to 32 bits.
inline int ToInteger(const Text& t) {
  std::string s;
  for (const Text& c : Characters(t)) {
    if (c.size() == 2 && U(c[0]) == 0xA3 && U(c[1]) >= 0xA1 && U(c[1]) <= 0xFE) {
      s += static_cast<char>(U(c[1]) - 0x80);
    } else if (c == "\xA1\xA1") {
      s += ' ';
    } else {
      s += c;
    }
  }
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  __int128 v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > (static_cast<__int128>(1) << 40)) v = static_cast<__int128>(1) << 40;
  }
  if (negative) v = -v;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// ---- header and cookie routines ----

inline Text CapitalizeFirst(const Text& t) {
  if (t.empty()) return t;
  Text out = t;
  if (out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
  return out;
}

inline Text Normalize(const Text& text) {
  Text out;
  for (const Text& line : Split(text, "\r\n")) {
    if (Find(line, ": ") == -1) continue;
    const TextList parts = Split(line, ": ");
    if (parts.empty()) continue;
    Text name = parts[0];
    if (Find(name, "-") != -1) {
      Text joined;
      const TextList pieces = Split(name, "-");
      for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i != 0) joined += "-";
        joined += CapitalizeFirst(pieces[i]);
      }
      name = joined;
    } else {
      name = CapitalizeFirst(name);
    }
    out += parts.size() == 2 ? name + ": " + parts[1] + "\r\n" : name + ": \r\n";
  }
  return Left(out, static_cast<int>(out.size()) - 2);
}

inline Text HeaderName(const Text& line) {
  const int p = Find(line, ":");
  return p == -1 ? Text() : Trim(Left(line, p - 1));
}

inline Text HeaderValue(const Text& line) {
  const int p = Find(line, ":");
  return p == -1 ? Text() : Trim(line.substr(p));
}

// A response's header block is split at the bytes CR LF: a value ending in a byte of 0x80
// or more must not swallow the line break.
inline TextList SplitBytes(const Text& t, const Text& sep) {
  TextList items;
  std::size_t pos = 0;
  for (std::size_t q = t.find(sep); q != Text::npos; q = t.find(sep, pos)) {
    items.push_back(t.substr(pos, q - pos));
    pos = q + sep.size();
  }
  if (pos < t.size()) items.push_back(t.substr(pos));
  return items;
}

inline Text CollectCookies(const Text& block) {
  Text out;
  for (const Text& line : SplitBytes(block, "\r\n")) {
    if (Before(line, ": ") != "Set-Cookie") continue;
    Text item = Find(line, ";") != -1 ? Between(line, "Set-Cookie:", ";")
                                      : Replace(line, "Set-Cookie:", "", false);
    out += Trim(item) + "; ";
  }
  return Left(out, static_cast<int>(out.size()) - 2);
}

inline Text CookieName(const Text& item) {
  const int p = Find(item, "=");
  return Trim(p == -1 ? item : Left(item, p - 1));
}

inline bool HasCookieNamed(const TextList& items, const Text& name) {
  for (const Text& item : items) {
    if (CookieName(item) == name) return true;
  }
  return false;
}

inline int IndexOf(const TextList& items, const Text& t) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == t) return static_cast<int>(i) + 1;
  }
  return -1;
}

// Separator must not be empty.
inline Text RemoveDuplicates(const Text& t, const Text& sep) {
  TextList seen;
  Text out;
  for (const Text& item : Split(t, sep)) {
    if (IndexOf(seen, item) == -1) {
      seen.push_back(item);
      out += item + sep;
    }
  }
  return Left(out, static_cast<int>(out.size()) - static_cast<int>(sep.size()));
}

inline Text MergeCookies(Text& old_cookies, Text& new_cookies) {
  old_cookies = RemoveSpaces(old_cookies);
  new_cookies = RemoveSpaces(new_cookies);
  const TextList old_list = Split(old_cookies, ";");
  TextList new_list = Split(new_cookies, ";");
  for (const Text& item : old_list) {
    if (!HasCookieNamed(new_list, CookieName(item))) new_list.push_back(item);
  }
  old_cookies.clear();
  for (const Text& item : new_list) {
    if (Right(item, 8) != "=deleted") old_cookies += item + "; ";
  }
  old_cookies = Left(old_cookies, static_cast<int>(old_cookies.size()) - 2);
  old_cookies = RemoveDuplicates(old_cookies, "; ");
  return old_cookies;
}

// ---- numbers ----

inline Text Clean(const Text& number) {
  static const char* const kRemovable[] = {"/", "\\", "|", "*", "?", ":", ",", ".", "-", "\""};
  Text t = number;
  for (const char* r : kRemovable) {
    t = Replace(t, r, "");
    t = RemoveSpaces(t);
  }
  return t;
}

// How many digits of year a number ends in, spaces aside: four after "-" or ":", two after a
// serial digit and "-" or ":", else none.
inline int YearDigits(const Text& number) {
  const TextList c = Characters(RemoveSpaces(number));
  const auto at = [&](std::size_t k) { return k <= c.size() ? c[c.size() - k] : Text(); };
  const auto digit = [&](std::size_t k) {
    return at(k).size() == 1 && at(k)[0] >= '0' && at(k)[0] <= '9';
  };
  const auto separator = [&](std::size_t k) { return at(k) == "-" || at(k) == ":"; };
  if (digit(1) && digit(2) && digit(3) && digit(4) && separator(5)) return 4;
  if (digit(1) && digit(2) && separator(3) && digit(4)) return 2;
  return 0;
}

}  // namespace kelvaro::ref
