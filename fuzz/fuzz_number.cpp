// Number cleaning and classification: the cleaned number has none of the ten removable
// characters and no space at a character start, cleaning twice changes nothing, the keyword
// is the cleaned number less its year (the whole of it without one), and the status is always
// one of the words.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "query/number.h"
#include "reference.h"

namespace {

using kelvaro::Text;
namespace ref = kelvaro::ref;
using kelvaro::fuzz::Show;

bool IsRemovable(const Text& c) {
  return c.size() == 1 && Text("/\\|*?:,.-\"").find(c[0]) != Text::npos;
}

void CheckClean(const Text& number) {
  const auto ctx = [&] { return std::string("CleanNumber " + Show(number)); };
  Text in_out = number;
  const Text cleaned = kelvaro::CleanNumber(in_out);
  FUZZ_EXPECT_EQ(in_out, cleaned, ctx() + " (argument rewritten)");
  FUZZ_EXPECT_EQ(cleaned, ref::Clean(number), ctx());
  // Cleaning drops whole characters and keeps the rest as they were.
  Text kept;
  for (const Text& c : ref::Characters(number)) {
    if (!IsRemovable(c) && !ref::IsSpaceChar(c)) kept += c;
  }
  FUZZ_EXPECT_EQ(cleaned, kept, ctx() + " (characters kept)");
  for (const Text& c : ref::Characters(cleaned)) {
    FUZZ_EXPECT(!IsRemovable(c) && !ref::IsSpaceChar(c), ctx() + " leaves " + Show(c));
  }
  Text again = cleaned;
  FUZZ_EXPECT_EQ(kelvaro::CleanNumber(again), cleaned, ctx() + " (twice)");

  Text normalized = number;
  const Text keyword = kelvaro::NormalizeNumber(normalized);
  FUZZ_EXPECT_EQ(normalized, cleaned, "NormalizeNumber " + Show(number) + " (argument)");
  const std::size_t year = static_cast<std::size_t>(ref::YearDigits(number));
  const Text expected_keyword =
      cleaned.size() <= 4 ? Text() : cleaned.substr(0, cleaned.size() - year);
  FUZZ_EXPECT_EQ(keyword, expected_keyword, "NormalizeNumber " + Show(number) + " (keyword)");
}

void CheckClassify(const Text& hit, const Text& cleaned) {
  const kelvaro::Verdict status = kelvaro::ClassifyStatus(hit, cleaned);
  const auto ctx = [&] {
    return std::string("ClassifyStatus hit=" + Show(hit) + " cleaned=" + Show(cleaned));
  };
  const Text hit_tail = ref::Right(ref::RemoveSpaces(hit), 4);
  const Text own_tail = ref::Right(cleaned, 4);
  const kelvaro::Verdict expected = hit_tail == own_tail ? kelvaro::Verdict::kCurrent
                                    : ref::ToInteger(hit_tail) > ref::ToInteger(own_tail)
                                        ? kelvaro::Verdict::kSuperseded
                                        : kelvaro::Verdict::kNotListed;
  FUZZ_EXPECT_EQ(kelvaro::StatusWord(status), kelvaro::StatusWord(expected), ctx());
  FUZZ_EXPECT_EQ(kelvaro::YearTailsEqual(hit, cleaned), status == kelvaro::Verdict::kCurrent,
                 "YearTailsEqual hit=" + Show(hit) + " cleaned=" + Show(cleaned));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvaro::fuzz::Input in = kelvaro::fuzz::ParseInput(data, size, 2);
  const Text& number = in.texts[0];
  const Text& hit = in.texts[1];
  CheckClean(number);
  CheckClean(hit);
  Text cleaned = number;
  kelvaro::CleanNumber(cleaned);
  CheckClassify(hit, cleaned);
  CheckClassify(hit, number);
  CheckClassify(number, cleaned);
  return 0;
}
