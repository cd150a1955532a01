#include "query/number.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

#include "rows/verdicts.h"
#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

struct CleanCase {
  const char* name;
  Text number;
  Text cleaned;
  Text keyword;
};

KELVARO_PRINT_CASES_BY_NAME()

class CleanNumberTest : public ::testing::TestWithParam<CleanCase> {};

TEST_P(CleanNumberTest, CleansAndCutsTheKeyword) {
  const CleanCase& c = GetParam();
  Text number = c.number;
  EXPECT_EQ(CleanNumber(number), c.cleaned);
  EXPECT_EQ(number, c.cleaned);

  Text again = c.number;
  EXPECT_EQ(NormalizeNumber(again), c.keyword);
  EXPECT_EQ(again, c.cleaned);
}

const Text kFullSpace = "\xA1\xA1";

INSTANTIATE_TEST_SUITE_P(
    Numbers, CleanNumberTest,
    ::testing::Values(
        CleanCase{"Plain", "GB/T50001-2010", "GBT500012010", "GBT50001"},
        CleanCase{"SiteSpelling", "GB/T 50001-2010", "GBT500012010", "GBT50001"},
        CleanCase{"SpacesEverywhere", " G B / T 5 0 0 0 1 - 2 0 1 0 ", "GBT500012010", "GBT50001"},
        CleanCase{"FullWidthSpaces", kFullSpace + "GB/T" + kFullSpace + "50001-2010" + kFullSpace,
                  "GBT500012010", "GBT50001"},
        CleanCase{"MixedSpaces", " " + kFullSpace + "GB/T 50001" + kFullSpace + " -2010 ",
                  "GBT500012010", "GBT50001"},
        // Without a year the whole cleaned number is the keyword.
        CleanCase{"AllTenRemovable", "a/b\\c|d*e?f:g,h.i-j\"k", "abcdefghijk", "abcdefghijk"},
        CleanCase{"LettersKeepTheirCase", "gb/t 50001-2010", "gbt500012010", "gbt50001"},
        CleanCase{"TabsAndLineBreaksStay", "GB\t500\r\n01", "GB\t500\r\n01", "GB\t500\r\n01"},
        CleanCase{"NoYear", "GB50001", "GB50001", "GB50001"},
        CleanCase{"FiveBytes", "GB-1-2-3", "GB123", "GB123"},
        CleanCase{"TwoDigitYear", "GB 50045-95", "GB5004595", "GB50045"},
        CleanCase{"TwoDigitYearOfTheNextCentury", "GBJ 16-07", "GBJ1607", "GBJ16"},
        CleanCase{"YearAfterAColon", "CECS 102:2002", "CECS1022002", "CECS102"},
        CleanCase{"YearAfterASpaceIsNoYear", "GB/T 50001 2017", "GBT500012017", "GBT500012017"},
        CleanCase{"TwoDigitsAfterALetterAreNoYear", "JSX-01", "JSX01", "JSX01"},
        CleanCase{"FourBytesGiveEmptyKeyword", "GB-12", "GB12", ""},
        CleanCase{"ThreeBytes", "G/B 1", "GB1", ""}, CleanCase{"OnlyRemovable", "/-. ", "", ""},
        CleanCase{"Empty", "", "", ""},
        // Second bytes 0x5C and 0x7C of two-byte characters are no backslash or bar.
        CleanCase{"TrailBytesAreNotRemoved", "\x81\x5C\\\x81\x7C|-2010",
                  "\x81\x5C\x81\x7C"
                  "2010",
                  "\x81\x5C\x81\x7C"},
        // A1 followed by another byte is a character, not a space.
        CleanCase{"LoneA1IsNoSpace", "\xA1\xA2 -2010",
                  "\xA1\xA2"
                  "2010",
                  "\xA1\xA2"},
        // Without a year nothing is cut, so no character either.
        CleanCase{"NoYearKeepsCharactersWhole",
                  "a\xCF\xD6\xD0\xD0"
                  "1",
                  "a\xCF\xD6\xD0\xD0"
                  "1",
                  "a\xCF\xD6\xD0\xD0"
                  "1"}),
    test::CaseName());

struct IntegerCase {
  const char* name;
  Text text;
  int value;
};

class TextToIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(TextToIntegerTest, ReadsTheLeadingInteger) {
  EXPECT_EQ(TextToInteger(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextToIntegerTest,
    ::testing::Values(
        IntegerCase{"Digit", "2", 2}, IntegerCase{"TrailingLetter", "3x", 3},
        IntegerCase{"FullWidthDigit", Gbk(u8"３"), 3}, IntegerCase{"Letters", "abc", 0},
        IntegerCase{"Empty", "", 0}, IntegerCase{"LeadingWhite", " \t\r\n42", 42},
        IntegerCase{"FullWidthSpaceAndDigits", Gbk(u8"　１２"), 12},
        IntegerCase{"FullWidthMinus", Gbk(u8"－５"), -5},
        IntegerCase{"FullWidthPlus", Gbk(u8"＋７x"), 7}, IntegerCase{"Negative", "-17", -17},
        IntegerCase{"Plus", "+5", 5}, IntegerCase{"SignAlone", "-", 0},
        IntegerCase{"TwoSigns", "+-3", 0}, IntegerCase{"SpaceAfterSign", "- 3", 0},
        IntegerCase{"LeadingZeros", "0010", 10}, IntegerCase{"StopsAtSpace", "12 34", 12},
        IntegerCase{"Chinese", Gbk(u8"现行"), 0}, IntegerCase{"DigitThenChinese", Gbk(u8"1现"), 1},
        IntegerCase{"MixedWidthDigits", Gbk(u8"2０1７"), 2017},
        IntegerCase{"LoneLeadByte", "\xA3", 0},
        IntegerCase{"FullWidthDigitThenLoneLead", "\xA3\xB1\xA3", 1},
        IntegerCase{"Max", "2147483647", INT_MAX},
        IntegerCase{"JustPastMax", "2147483648", INT_MAX},
        IntegerCase{"FarPastMax", "99999999999", INT_MAX},
        IntegerCase{"VeryLong", "123456789012345678901234567890", INT_MAX},
        IntegerCase{"Min", "-2147483648", INT_MIN},
        IntegerCase{"JustPastMin", "-2147483649", INT_MIN},
        IntegerCase{"FarPastMin", "-99999999999999999999", INT_MIN},
        IntegerCase{"FullWidthPastMax", Gbk(u8"２１４７４８３６４８"), INT_MAX},
        IntegerCase{"FullWidthPastMin", Gbk(u8"－２１４７４８３６４９"), INT_MIN}),
    test::CaseName());

struct ClassifyCase {
  const char* name;
  Text hit_number;
  Text cleaned_number;
  Verdict status;
};

class ClassifyStatusTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyStatusTest, ComparesYearTails) {
  const ClassifyCase& c = GetParam();
  EXPECT_EQ(ClassifyStatus(c.hit_number, c.cleaned_number), c.status);
  EXPECT_EQ(YearTailsEqual(c.hit_number, c.cleaned_number), c.status == Verdict::kCurrent);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ClassifyStatusTest,
    ::testing::Values(
        ClassifyCase{"NewerEdition", "GB/T 50001-2017", "GBT500012010", Verdict::kSuperseded},
        ClassifyCase{"SameEdition", "GB/T 50001-2010", "GBT500012010", Verdict::kCurrent},
        ClassifyCase{"OlderEdition", "GB/T 50001-2001", "GBT500012010", Verdict::kNotListed},
        ClassifyCase{"FullWidthSpaceInHit",
                     "GB/T\xA1\xA1"
                     "50001-2010\xA1\xA1",
                     "GBT500012010", Verdict::kCurrent},
        ClassifyCase{"SpaceInsideTheYear", "GB/T 50001-20 10", "GBT500012010", Verdict::kCurrent},
        ClassifyCase{"NoOwnYear", "GB 50001-2017", "GB50001", Verdict::kSuperseded},
        ClassifyCase{"NoOwnYearSameTail", "GB 5-0001", "GB50001", Verdict::kCurrent},
        ClassifyCase{"EmptyHit", "", "GBT500012010", Verdict::kNotListed},
        ClassifyCase{"BothEmpty", "", "", Verdict::kCurrent},
        ClassifyCase{"EmptyOwn", "GB 1-2017", "", Verdict::kSuperseded},
        ClassifyCase{"ChineseTail", Gbk(u8"GB/T 1-标准"), "GBT12010", Verdict::kNotListed},
        ClassifyCase{"ChineseTailEqualBytes", Gbk(u8"X-标准"), Gbk(u8"Y标准"), Verdict::kCurrent},
        ClassifyCase{"ChineseOwnTail", "GB 1-2017", Gbk(u8"GB1标准"), Verdict::kSuperseded},
        // Only the last four bytes count: two full-width digits read as 17.
        ClassifyCase{"FullWidthDigitsInHit", Gbk(u8"GB/T 50001-２０１７"), "GBT500012010",
                     Verdict::kNotListed},
        ClassifyCase{"ShortHit", "17", "GBT500012010", Verdict::kNotListed},
        ClassifyCase{"ShortHitGreater", "9999", "GB1-95", Verdict::kSuperseded},
        ClassifyCase{"TwoDigitYears", "GB 50057-94", "GB500572010", Verdict::kNotListed}),
    test::CaseName());

TEST(ClassifyStatus, WorksOnTheCleanedNumberOfAnyTypedSpelling) {
  const Text spellings[] = {"GB/T50001-2010", " GB/T 50001-2010 ",
                            "GB/T\xA1\xA1"
                            "50001 - 2010"};
  for (const Text& spelling : spellings) {
    Text number = spelling;
    EXPECT_EQ(NormalizeNumber(number), "GBT50001");
    EXPECT_EQ(ClassifyStatus("GB/T 50001-2017", number), Verdict::kSuperseded);
    EXPECT_EQ(ClassifyStatus("GB/T 50001-2010", number), Verdict::kCurrent);
    EXPECT_EQ(ClassifyStatus("GB/T 50001-2001", number), Verdict::kNotListed);
  }
}

}  // namespace
}  // namespace kelvaro
