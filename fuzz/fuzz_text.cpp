// The text primitives and Base64: every result against the naive version, plus the
// structural properties (split and join, trimming and space removal, lengths, round trips).
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "reference.h"
#include "text/text.h"

namespace {

using kelvaro::Bytes;
using kelvaro::Text;
using kelvaro::TextList;
namespace ref = kelvaro::ref;
using kelvaro::fuzz::Show;

std::string Args(const Text& t, const Text& s) { return "text=" + Show(t) + " other=" + Show(s); }

// Whether the text holds a space character at one of its character starts.
bool HasSpaceChar(const Text& t) {
  for (const Text& c : ref::Characters(t)) {
    if (ref::IsSpaceChar(c)) return true;
  }
  return false;
}

void CheckFind(const Text& t, const Text& s, int start) {
  for (bool ignore_case : {false, true}) {
    const int got = kelvaro::FindText(t, s, start, ignore_case);
    const auto ctx = [&] {
      return std::string("FindText " + Args(t, s) + " start=" + Show(start) +
                         " ignore_case=" + Show(ignore_case));
    };
    FUZZ_EXPECT_EQ(got, ref::Find(t, s, start, ignore_case), ctx());
    if (got != -1) {
      FUZZ_EXPECT(got >= 1 && static_cast<std::size_t>(got) <= t.size(), ctx());
      FUZZ_EXPECT(got >= start || s.empty(), ctx());
    }
  }
}

void CheckSplit(const Text& t, const Text& sep) {
  const TextList items = kelvaro::SplitText(t, sep);
  const auto ctx = [&] { return std::string("SplitText " + Args(t, sep)); };
  if (sep.empty()) {
    // Not defined for an empty separator; the pieces must still come from the text.
    Text joined;
    for (const Text& item : items) joined += item;
    FUZZ_EXPECT_EQ(joined, t, ctx());
    return;
  }
  FUZZ_EXPECT_EQ(items, ref::Split(t, sep), ctx());
  // Joining the items with the separator gives the text back, less a final separator whose
  // empty piece after it was dropped.
  Text joined;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i != 0) joined += sep;
    joined += items[i];
  }
  if (joined != t) FUZZ_EXPECT_EQ(joined + sep, t, ctx());
  if (t.empty()) FUZZ_EXPECT(items.empty(), ctx());
}

void CheckSpaces(const Text& t) {
  const Text trimmed = kelvaro::TrimSpaces(t);
  FUZZ_EXPECT_EQ(trimmed, ref::Trim(t), "TrimSpaces " + Show(t));
  FUZZ_EXPECT_EQ(kelvaro::TrimSpaces(trimmed), trimmed, "TrimSpaces twice " + Show(t));
  FUZZ_EXPECT(t.find(trimmed) != Text::npos, "TrimSpaces gives a piece of " + Show(t));

  const Text removed = kelvaro::RemoveAllSpaces(t);
  FUZZ_EXPECT_EQ(removed, ref::RemoveSpaces(t), "RemoveAllSpaces " + Show(t));
  FUZZ_EXPECT(!HasSpaceChar(removed), "RemoveAllSpaces leaves a space " + Show(t));
  FUZZ_EXPECT_EQ(kelvaro::RemoveAllSpaces(removed), removed, "RemoveAllSpaces twice " + Show(t));
  FUZZ_EXPECT_EQ(kelvaro::TrimSpaces(removed), removed, "TrimSpaces after removal " + Show(t));
}

void CheckReplace(const Text& t, const Text& old_text, const Text& new_text) {
  for (bool case_sensitive : {false, true}) {
    FUZZ_EXPECT_EQ(kelvaro::ReplaceText(t, old_text, new_text, !case_sensitive),
                   ref::Replace(t, old_text, new_text, case_sensitive),
                   "ReplaceText " + Args(t, old_text) + " new=" + Show(new_text) +
                       " case_sensitive=" + Show(case_sensitive));
  }
  FUZZ_EXPECT_EQ(kelvaro::ReplaceText(t, old_text, old_text), t,
                 "ReplaceText with itself " + Args(t, old_text));
  // Letters compared as FindText compares them by default: byte for byte.
  FUZZ_EXPECT_EQ(kelvaro::ReplaceText(t, old_text), ref::Replace(t, old_text, {}, true),
                 "ReplaceText defaults " + Args(t, old_text));
}

void CheckCuts(const Text& t, int n, int start) {
  const int len = static_cast<int>(t.size());
  const Text left = kelvaro::LeftText(t, n);
  FUZZ_EXPECT_EQ(left, ref::Left(t, n), "LeftText " + Show(t) + " n=" + Show(n));
  FUZZ_EXPECT_EQ(static_cast<int>(left.size()), n <= 0 ? 0 : (n < len ? n : len),
                 "LeftText length " + Show(t) + " n=" + Show(n));
  const Text right = kelvaro::RightText(t, n);
  FUZZ_EXPECT_EQ(right, ref::Right(t, n), "RightText " + Show(t) + " n=" + Show(n));
  FUZZ_EXPECT_EQ(static_cast<int>(right.size()), n <= 0 ? 0 : (n < len ? n : len),
                 "RightText length " + Show(t) + " n=" + Show(n));
  const Text middle = kelvaro::MiddleText(t, start, n);
  FUZZ_EXPECT_EQ(middle, ref::Middle(t, start, n),
                 "MiddleText " + Show(t) + " start=" + Show(start) + " n=" + Show(n));
  // Left and right halves make up the text.
  if (n >= 0 && n <= len) {
    FUZZ_EXPECT_EQ(kelvaro::LeftText(t, n) + kelvaro::RightText(t, len - n), t,
                   "LeftText + RightText " + Show(t) + " n=" + Show(n));
    FUZZ_EXPECT_EQ(kelvaro::MiddleText(t, n + 1, len), kelvaro::RightText(t, len - n),
                   "MiddleText to the end " + Show(t) + " n=" + Show(n));
  }
}

void CheckUpper(const Text& t) {
  const Text up = kelvaro::UpperCase(t);
  FUZZ_EXPECT_EQ(up, ref::Upper(t), "UpperCase " + Show(t));
  FUZZ_EXPECT_EQ(up.size(), t.size(), "UpperCase length " + Show(t));
  FUZZ_EXPECT_EQ(kelvaro::UpperCase(up), up, "UpperCase twice " + Show(t));
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

void CheckBase64(const Bytes& bytes) {
  const Text code = kelvaro::Base64Encode(bytes);
  const auto ctx = [&] {
    return std::string("Base64Encode of " + Show(Text(bytes.begin(), bytes.end())));
  };
  FUZZ_EXPECT_EQ(code.size(), (bytes.size() + 2) / 3 * 4, ctx());
  const std::size_t pad = bytes.size() % 3 == 0 ? 0 : 3 - bytes.size() % 3;
  Bytes decoded;
  std::uint32_t acc = 0;
  int bits = 0;
  for (std::size_t i = 0; i < code.size(); ++i) {
    if (i >= code.size() - pad) {
      FUZZ_EXPECT_EQ(code[i], '=', ctx());
      continue;
    }
    const int v = Base64Value(code[i]);
    FUZZ_EXPECT(v >= 0, ctx());
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      decoded.push_back(static_cast<std::uint8_t>(acc >> bits));
      acc &= (1u << bits) - 1;
    }
  }
  FUZZ_EXPECT_EQ(acc, 0u, ctx() + " (padding bits)");
  FUZZ_EXPECT(decoded == bytes, ctx() + " (decodes back)");
}

void CheckBytes(const Text& t, const Bytes& raw) {
  FUZZ_EXPECT_EQ(kelvaro::TextLength(t), static_cast<int>(t.size()), "TextLength " + Show(t));
  const Bytes b = kelvaro::TextToBytes(t);
  FUZZ_EXPECT(b == Bytes(t.begin(), t.end()), "TextToBytes " + Show(t));
  FUZZ_EXPECT_EQ(kelvaro::BytesToText(b), t, "BytesToText of TextToBytes " + Show(t));
  Text upto;
  for (std::uint8_t c : raw) {
    if (c == 0) break;
    upto.push_back(static_cast<char>(c));
  }
  FUZZ_EXPECT_EQ(kelvaro::BytesToText(raw), upto, "BytesToText stops at the first zero byte");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvaro::fuzz::Input in = kelvaro::fuzz::ParseInput(data, size, 3);
  const Text& t = in.texts[0];
  const Text& s = in.texts[1];
  const Text& n = in.texts[2];
  const int len = static_cast<int>(t.size());

  for (int start : {in.a, in.b, -1, 0, 1, 2, len / 2, len, len + 1, INT_MIN, INT_MAX}) {
    CheckFind(t, s, start);
  }
  CheckFind(t, Text(), in.a);
  if (!s.empty()) CheckFind(t, s.substr(0, 1), in.a);

  CheckSplit(t, s);
  CheckSplit(t, "\r\n");
  if (!s.empty()) CheckSplit(t, s.substr(0, 1));
  CheckSpaces(t);
  CheckSpaces(s);
  CheckReplace(t, s, n);
  CheckReplace(t, "\xA1\xA1", n);
  for (int count : {in.a, in.b, len - in.a, 0, len, len + 1, INT_MAX, INT_MIN}) {
    CheckCuts(t, count, in.b);
    CheckCuts(t, count, in.a);
  }
  CheckCuts(t, INT_MAX, INT_MAX);
  CheckCuts(t, INT_MAX, 1);
  CheckUpper(t);
  CheckBase64(in.raw);
  CheckBytes(t, in.raw);
  return 0;
}
