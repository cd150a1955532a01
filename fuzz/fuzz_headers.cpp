// Header and cookie routines against the naive versions, with their structural properties:
// normalised headers hold no empty line, names and values come out trimmed, a merge
// rewrites both arguments without spaces.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "reference.h"
#include "web/headers.h"

namespace {

using kelvaro::Text;
using kelvaro::TextList;
namespace ref = kelvaro::ref;
using kelvaro::fuzz::Show;

bool IsAscii(const Text& t) {
  for (char c : t) {
    if (ref::IsLead(c)) return false;
  }
  return true;
}

void CheckNormalize(const Text& t) {
  const Text got = kelvaro::NormalizeRequestHeaders(t);
  const auto ctx = [&] { return std::string("NormalizeRequestHeaders " + Show(t)); };
  FUZZ_EXPECT_EQ(got, ref::Normalize(t), ctx());
  if (IsAscii(t)) {
    // Every kept line has a name and ": "; none is empty and there are never more lines out
    // than in. (Two-byte characters may pair up across a line end, so only plain ASCII.)
    const TextList out_lines = ref::Split(got, "\r\n");
    for (const Text& line : out_lines) {
      FUZZ_EXPECT(!line.empty() && line.find(": ") != Text::npos, ctx() + " line " + Show(line));
    }
    FUZZ_EXPECT(out_lines.size() <= ref::Split(t, "\r\n").size(), ctx());
    FUZZ_EXPECT(got.size() < 2 || got.substr(got.size() - 2) != "\r\n", ctx());
  }
}

void CheckLines(const Text& t) {
  std::size_t count = 0;
  for (const Text& line : ref::Split(t, "\r\n")) {
    if (++count > 32) break;
    const Text name = kelvaro::HeaderName(line);
    const Text value = kelvaro::HeaderValue(line);
    FUZZ_EXPECT_EQ(name, ref::HeaderName(line), "HeaderName " + Show(line));
    FUZZ_EXPECT_EQ(value, ref::HeaderValue(line), "HeaderValue " + Show(line));
    FUZZ_EXPECT_EQ(ref::Trim(name), name, "HeaderName trimmed " + Show(line));
    FUZZ_EXPECT_EQ(ref::Trim(value), value, "HeaderValue trimmed " + Show(line));
    FUZZ_EXPECT_EQ(kelvaro::CapitalizeFirst(line), ref::CapitalizeFirst(line),
                   "CapitalizeFirst " + Show(line));
  }
}

void CheckCookies(const Text& block, const Text& old_in, const Text& new_in) {
  FUZZ_EXPECT_EQ(kelvaro::CollectCookies(block), ref::CollectCookies(block),
                 "CollectCookies " + Show(block));

  Text old_cookies = old_in;
  Text new_cookies = new_in;
  const Text merged = kelvaro::MergeCookies(old_cookies, new_cookies);
  Text ref_old = old_in;
  Text ref_new = new_in;
  const Text ref_merged = ref::MergeCookies(ref_old, ref_new);
  const auto ctx = [&] {
    return std::string("MergeCookies old=" + Show(old_in) + " new=" + Show(new_in));
  };
  FUZZ_EXPECT_EQ(merged, ref_merged, ctx());
  FUZZ_EXPECT_EQ(old_cookies, merged, ctx() + " (old argument holds the result)");
  FUZZ_EXPECT_EQ(new_cookies, ref::RemoveSpaces(new_in), ctx() + " (new argument without spaces)");

  const TextList items = ref::Split(ref::RemoveSpaces(new_in), ";");
  std::size_t count = 0;
  for (const Text& item : ref::Split(old_in, ";")) {
    if (++count > 32) break;
    const Text name = kelvaro::CookieName(item);
    FUZZ_EXPECT_EQ(name, ref::CookieName(item), "CookieName " + Show(item));
    FUZZ_EXPECT_EQ(kelvaro::HasCookieNamed(items, name), ref::HasCookieNamed(items, name),
                   "HasCookieNamed " + Show(items) + " name=" + Show(name));
    FUZZ_EXPECT_EQ(kelvaro::IndexOfItem(items, item), ref::IndexOf(items, item),
                   "IndexOfItem " + Show(items) + " item=" + Show(item));
  }
}

void CheckDuplicates(const Text& t, const Text& sep) {
  const Text got = kelvaro::RemoveDuplicateItems(t, sep);
  const auto ctx = [&] {
    return std::string("RemoveDuplicateItems text=" + Show(t) + " separator=" + Show(sep));
  };
  if (sep.empty()) {
    FUZZ_EXPECT(got.size() <= t.size(), ctx());
    return;
  }
  FUZZ_EXPECT_EQ(got, ref::RemoveDuplicates(t, sep), ctx());
  // A second pass changes nothing when no item is empty (a dropped trailing empty item
  // would otherwise shift what the next pass sees) and items cannot pair across separators.
  bool plain = IsAscii(t) && IsAscii(sep);
  for (const Text& item : ref::Split(t, sep)) plain = plain && !item.empty();
  if (plain) {
    FUZZ_EXPECT_EQ(kelvaro::RemoveDuplicateItems(got, sep), got, ctx() + " (second pass)");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvaro::fuzz::Input in = kelvaro::fuzz::ParseInput(data, size, 3);
  const Text& t = in.texts[0];
  const Text& u = in.texts[1];
  const Text& sep = in.texts[2];

  CheckNormalize(t);
  CheckNormalize(u);
  CheckLines(t);
  CheckCookies(t, t, u);
  CheckCookies(u, u, t);
  CheckDuplicates(t, sep);
  CheckDuplicates(t, "; ");
  CheckDuplicates(u, "; ");
  return 0;
}
