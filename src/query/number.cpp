#include "query/number.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "citation/citation.h"
#include "text/encoding.h"

namespace kelvaro {

namespace {

// Characters people put between the parts of a number; the site's keyword has none.
const char* const kRemovable[] = {"/", "\\", "|", "*", "?", ":", ",", ".", "-", "\""};

bool IsLeadByte(unsigned char c) { return c >= 0x80; }

// Full-width forms of printable ASCII (A3 A1..A3 FE) become ASCII, the full-width space a space.
std::string HalfWidth(const Text& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      const auto d = static_cast<unsigned char>(text[i + 1]);
      if (c == 0xA3 && d >= 0xA1 && d <= 0xFE) {
        out.push_back(static_cast<char>(d - 0x80));
      } else if (c == 0xA1 && d == 0xA1) {
        out.push_back(' ');
      } else {
        out.append(text, i, 2);
      }
      i += 2;
    } else {
      out.push_back(text[i]);
      ++i;
    }
  }
  return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

Text CleanNumber(Text& number) {
  for (const char* removable : kRemovable) {
    number = ReplaceText(number, removable, Text());
    number = RemoveAllSpaces(number);
  }
  return number;
}

NumberYear YearOf(const Text& number) {
  const Text bare = RemoveAllSpaces(number);
  // Where each character starts, as a scan from the first byte cuts them: a lead byte's
  // trail may be "|" or "\\", and such a pair is neither a separator nor a digit.
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < bare.size();) {
    starts.push_back(i);
    i += IsLeadByte(static_cast<unsigned char>(bare[i])) && i + 1 < bare.size() ? 2 : 1;
  }
  const std::size_t n = starts.size();
  const auto single = [&](std::size_t k) {  // the k-th character from the end, if one byte
    if (k == 0 || k > n) return '\0';
    const std::size_t end = k == 1 ? bare.size() : starts[n - k + 1];
    return end - starts[n - k] == 1 ? bare[starts[n - k]] : '\0';
  };
  const auto digits = [&](std::size_t from, std::size_t to) {
    for (std::size_t k = from; k <= to; ++k) {
      if (!IsDigit(single(k))) return false;
    }
    return true;
  };
  const auto separator = [&](std::size_t k) { return single(k) == '-' || single(k) == ':'; };
  if (digits(1, 4) && separator(5)) return {4, TextToInteger(bare.substr(bare.size() - 4))};
  if (digits(1, 2) && separator(3) && IsDigit(single(4))) {
    const int two = TextToInteger(bare.substr(bare.size() - 2));
    return {2, two >= 50 ? 1900 + two : 2000 + two};
  }
  return {};
}

Text NormalizeNumber(Text& number) {
  const NumberYear year = YearOf(number);
  CleanNumber(number);
  const int n = TextLength(number);
  if (n <= 4) return Text();
  // Without a year the whole number is the search: cutting it would name another standard.
  return year.digits == 0 ? number : LeftText(number, n - year.digits);
}

int TextToInteger(const Text& text) {
  const std::string s = HalfWidth(text);
  std::size_t i = 0;
  while (i < s.size() && IsWhite(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  // Accumulate the magnitude in 64 bits and stop growing once past the 32-bit range.
  const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT_MIN) : INT_MAX;
  std::int64_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    if (value <= limit) value = value * 10 + (s[i] - '0');
  }
  if (value > limit) value = limit;
  return static_cast<int>(negative ? -value : value);
}

StandardIdentity IdentityOf(const Text& number) {
  StandardIdentity identity;
  Text cleaned = number;
  identity.key = UpperCase(NormalizeNumber(cleaned));
  const std::vector<Citation> citations = FindCitations(GbkToUtf8(number));
  // The number as a whole, not a citation inside a longer text.
  if (citations.size() == 1 && !citations.front().code.empty()) {
    identity.code = UpperCase(citations.front().code);
    identity.serial = UpperCase(citations.front().serial);
  }
  return identity;
}

bool SameStandard(const StandardIdentity& a, const StandardIdentity& b) {
  if (!a.code.empty() && !b.code.empty()) return a.code == b.code && a.serial == b.serial;
  return a.key == b.key;
}

bool IsStandard(const Text& number, const StandardIdentity& cited) {
  Text cleaned = number;
  const Text key = UpperCase(NormalizeNumber(cleaned));
  const std::size_t common = std::min(key.size(), cited.key.size());
  if (key.compare(0, common, cited.key, 0, common) != 0) return false;
  return SameStandard(IdentityOf(number), cited);
}

Text IdentityText(const StandardIdentity& identity) {
  if (identity.code.empty()) return identity.key;
  // Codes ending in a slash ("DB11/") take the serial straight after it.
  return identity.code + (identity.code.back() == '/' ? "" : " ") + identity.serial;
}

bool YearTailsEqual(const Text& hit_number, const Text& cleaned_number) {
  return RightText(RemoveAllSpaces(hit_number), 4) == RightText(cleaned_number, 4);
}

Verdict ClassifyNumber(const Text& hit_number, const Text& entered_number) {
  const NumberYear own = YearOf(entered_number);
  if (own.digits == 0) return Verdict::kNotListed;
  if (own.digits == 4) {
    Text cleaned = entered_number;
    return ClassifyStatus(hit_number, CleanNumber(cleaned));
  }
  const NumberYear hit = YearOf(hit_number);
  if (hit.full == own.full) return Verdict::kCurrent;
  return hit.full > own.full ? Verdict::kSuperseded : Verdict::kNotListed;
}

Verdict ClassifyStatus(const Text& hit_number, const Text& cleaned_number) {
  if (YearTailsEqual(hit_number, cleaned_number)) return Verdict::kCurrent;
  const int hit_year = TextToInteger(RightText(RemoveAllSpaces(hit_number), 4));
  const int own_year = TextToInteger(RightText(cleaned_number, 4));
  return hit_year > own_year ? Verdict::kSuperseded : Verdict::kNotListed;
}

}  // namespace kelvaro
