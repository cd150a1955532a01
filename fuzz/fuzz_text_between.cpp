// The marker cutters: TextBetween and TextBefore against the naive versions, results always
// pieces of the text, and the "#引号" placeholder standing for a double quote.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "reference.h"
#include "text/text.h"

namespace {

using kelvaro::Text;
namespace ref = kelvaro::ref;
using kelvaro::fuzz::Show;

const Text kPlaceholder = "#\xD2\xFD\xBA\xC5";  // #引号

void CheckBetween(const Text& t, const Text& left, const Text& right, int start, bool ignore_case) {
  const Text got = kelvaro::TextBetween(t, left, right, start, ignore_case);
  const auto ctx = [&] {
    return std::string("TextBetween text=" + Show(t) + " left=" + Show(left) + " right=" +
                       Show(right) + " start=" + Show(start) + " ignore_case=" + Show(ignore_case));
  };
  FUZZ_EXPECT_EQ(got, ref::Between(t, left, right, start, ignore_case), ctx());
  FUZZ_EXPECT(t.find(got) != Text::npos, ctx() + " (a piece of the text)");
  // Spelling the quotes out gives the same cut as the placeholder.
  const Text left_quoted = ref::Replace(left, kPlaceholder, "\"", true);
  const Text right_quoted = ref::Replace(right, kPlaceholder, "\"", true);
  if (ref::Find(left_quoted, kPlaceholder) == -1 && ref::Find(right_quoted, kPlaceholder) == -1) {
    FUZZ_EXPECT_EQ(kelvaro::TextBetween(t, left_quoted, right_quoted, start, ignore_case), got,
                   ctx() + " (quotes written out)");
  }
  if (!got.empty()) {
    // The cut stands right after the first left marker at or after the start.
    const int p = kelvaro::FindText(t, left_quoted, start, ignore_case);
    FUZZ_EXPECT(p != -1, ctx());
    const std::size_t e = static_cast<std::size_t>(p) - 1 + left_quoted.size();
    FUZZ_EXPECT_EQ(t.substr(e, got.size()), got, ctx() + " (position)");
  }
}

void CheckBefore(const Text& t, const Text& marker, int start, bool ignore_case) {
  const Text got = kelvaro::TextBefore(t, marker, start, ignore_case);
  const auto ctx = [&] {
    return std::string("TextBefore text=" + Show(t) + " marker=" + Show(marker) +
                       " start=" + Show(start) + " ignore_case=" + Show(ignore_case));
  };
  FUZZ_EXPECT_EQ(got, ref::Before(t, marker, start, ignore_case), ctx());
  FUZZ_EXPECT_EQ(t.substr(0, got.size()), got, ctx() + " (a prefix of the text)");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvaro::fuzz::Input in = kelvaro::fuzz::ParseInput(data, size, 3);
  const Text& t = in.texts[0];
  const Text& left = in.texts[1];
  const Text& right = in.texts[2];
  const int len = static_cast<int>(t.size());
  const bool ignore_case = (in.flags & 1) != 0;

  for (int start : {in.a, 1, 0, -1, len, len + 1, INT_MIN, INT_MAX}) {
    CheckBetween(t, left, right, start, ignore_case);
    CheckBefore(t, left, start, ignore_case);
  }
  CheckBetween(t, left, right, 1, !ignore_case);
  CheckBetween(t, kPlaceholder + left, right, 1, ignore_case);
  CheckBetween(t, left, kPlaceholder, 1, ignore_case);
  CheckBetween(t, right, left, in.b, ignore_case);
  CheckBefore(t, right, in.b, !ignore_case);
  return 0;
}
