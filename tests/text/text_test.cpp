#include "text/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ostream>
#include <string>

#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

KELVARO_PRINT_CASES_BY_NAME()

// GBK characters whose second byte is an ASCII character a search could wrongly match.
const Text kBackslashTail = "\x95\x5C";  // second byte '\'
const Text kBarTail = "\x81\x7C";        // second byte '|'
const Text kLowerATail = "\x81\x61";     // second byte 'a'
const Text kUpperATail = "\x81\x41";     // second byte 'A'
const Text kZhong = "\xD6\xD0";          // 中
const Text kWen = "\xCE\xC4";            // 文
const Text kFullWidthSpace = "\xA1\xA1";

struct FindCase {
  const char* name;
  Text text;
  Text search;
  int start;
  bool ignore_case;
  int expected;
};

class FindTextTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindTextTest, FindsFirstOccurrenceAtCharacterStart) {
  const FindCase& c = GetParam();
  EXPECT_EQ(FindText(c.text, c.search, c.start, c.ignore_case), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FindTextTest,
    ::testing::Values(
        FindCase{"Plain", "abc", "b", 1, false, 2}, FindCase{"Missing", "abc", "d", 1, false, -1},
        FindCase{"FromStart", "abcabc", "c", 4, false, 6},
        FindCase{"StartAtMatch", "aXa", "a", 3, false, 3},
        FindCase{"StartZero", "abc", "a", 0, false, 1},
        FindCase{"StartNegative", "abc", "a", -5, false, 1},
        FindCase{"StartIntMin", "abc", "a", INT_MIN, false, 1},
        FindCase{"StartBeyond", "abc", "c", 4, false, -1},
        FindCase{"StartIntMax", "abc", "c", INT_MAX, false, -1},
        FindCase{"EmptyText", "", "a", 1, false, -1},
        FindCase{"EmptySearch", "abc", "", 1, false, 1},
        FindCase{"EmptySearchLaterStart", "abc", "", 3, false, 1},
        FindCase{"EmptySearchStartBeyond", "abc", "", 4, false, -1},
        FindCase{"EmptySearchEmptyText", "", "", 1, false, -1},
        FindCase{"SearchLongerThanText", "ab", "abc", 1, false, -1},
        FindCase{"SearchRunsPastEnd", "xab", "abc", 1, false, -1},
        FindCase{"Overlapping", "aaa", "aa", 1, false, 1},
        FindCase{"OverlappingLater", "aaa", "aa", 2, false, 2},
        FindCase{"BackslashSecondByte", kBackslashTail + "\\", "\\", 1, false, 3},
        FindCase{"BackslashOnlySecondByte", kBackslashTail, "\\", 1, false, -1},
        FindCase{"BarSecondByte", kBarTail + "|", "|", 1, false, 3},
        FindCase{"BarOnlySecondByte", "x" + kBarTail + "y", "|", 1, false, -1},
        FindCase{"SecondByteAsFirstOfPair", kZhong + "\xD0\xD0", "\xD0\xD0", 1, false, 3},
        FindCase{"StraddlingCharacters", kZhong + kWen, "\xD0\xCE", 1, false, -1},
        FindCase{"WholeCharacter", kZhong + kWen, kWen, 1, false, 3},
        FindCase{"AfterManyRejectedCandidates", kBarTail + kBarTail + kBarTail + "|", "|", 1, false,
                 7},
        FindCase{"LoneLeadAtEnd", "x\x81", "\x81", 1, false, 2},
        FindCase{"LoneLeadAtEndLongerSearch", "x\x81", "\x81\x40", 1, false, -1},
        FindCase{"StartInsideCharacterScansFromThere", kZhong + "A", "A", 2, false, -1},
        FindCase{"CaseMatters", "ABC", "b", 1, false, -1},
        FindCase{"IgnoreCase", "ABC", "b", 1, true, 2},
        FindCase{"IgnoreCaseMarkup", "<TD class=x>", "<td CLASS", 1, true, 1},
        FindCase{"IgnoreCaseNotOnSecondByte", kUpperATail, kLowerATail, 1, true, -1},
        FindCase{"IgnoreCaseSameCharacter", "x" + kLowerATail, kLowerATail, 1, true, 2},
        FindCase{"IgnoreCaseSkipsSecondByte", kLowerATail + "A", "a", 1, true, 3},
        FindCase{"SecondByteLetterNotMatched", kLowerATail, "a", 1, false, -1},
        FindCase{"IgnoreCaseOnlyAscii", "\xC0", "\xE0", 1, true, -1},
        FindCase{"IgnoreCaseNoLetters", "a" + kBarTail + "|", "|", 1, true, 4}),
    test::CaseName());

TEST(FindTextLong, FindsMarkerAfterLongDoubleByteText) {
  // Every character's second byte is '<', so a byte search alone would stop at position 2.
  constexpr int kCharacters = 1 << 16;
  Text text;
  for (int i = 0; i < kCharacters; ++i) text += "\x81<";
  text += "<td>";
  EXPECT_EQ(FindText(text, "<td>"), 2 * kCharacters + 1);
  EXPECT_EQ(FindText(text, "<TD>", 1, true), 2 * kCharacters + 1);
  EXPECT_EQ(FindText(text, "<"), 2 * kCharacters + 1);
  EXPECT_EQ(FindText(text, "<", 2 * kCharacters - 1), 2 * kCharacters + 1);  // last lead byte
  EXPECT_EQ(SplitText(text, "<"), (TextList{LeftText(text, 2 * kCharacters), "td>"}));
  EXPECT_EQ(TextBetween(text + "x</td>", "<td>", "</td>"), "x");
}

// Character-by-character search, the plain reading of the rules, to check the fast one.
int ReferenceFind(const Text& text, const Text& search, int start, bool ignore_case) {
  const auto fold = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
  };
  if (start < 1) start = 1;
  if (start > static_cast<int>(text.size())) return -1;
  if (search.empty()) return 1;
  for (std::size_t i = static_cast<std::size_t>(start) - 1; i < text.size();
       i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1) {
    if (i + search.size() > text.size()) break;
    bool same = true;
    for (std::size_t j = 0; j < search.size() && same;) {
      const auto a = static_cast<unsigned char>(search[j]);
      const auto b = static_cast<unsigned char>(text[i + j]);
      if (a >= 0x80) {
        same = a == b && (j + 1 == search.size() || search[j + 1] == text[i + j + 1]);
        j += 2;
      } else {
        same = ignore_case ? fold(a) == fold(b) : a == b;
        j += 1;
      }
    }
    if (same) return static_cast<int>(i) + 1;
  }
  return -1;
}

TEST(FindTextRandom, AgreesWithCharacterByCharacterSearch) {
  // Bytes chosen to collide: letters in both cases, ASCII that is also a second byte, lead bytes.
  const std::string alphabet = "aA<|\\ \x81\xA1\xD0";
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::uint32_t bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % bound;
  };
  const auto random_text = [&](std::uint32_t max_length) {
    Text t;
    const std::uint32_t length = next(max_length + 1);
    for (std::uint32_t i = 0; i < length; ++i) t += alphabet[next(alphabet.size())];
    return t;
  };
  for (int round = 0; round < 20000; ++round) {
    const Text text = random_text(24);
    const Text search = random_text(3);
    const int start = static_cast<int>(next(28)) - 2;
    const bool ignore_case = next(2) == 1;
    ASSERT_EQ(FindText(text, search, start, ignore_case),
              ReferenceFind(text, search, start, ignore_case))
        << "round " << round << " start " << start << " ignore_case " << ignore_case;
  }
}

struct SplitCase {
  const char* name;
  Text text;
  Text separator;
  TextList expected;
};

class SplitTextTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTextTest, SplitsAtCharacterStarts) {
  const SplitCase& c = GetParam();
  EXPECT_EQ(SplitText(c.text, c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitTextTest,
    ::testing::Values(
        SplitCase{"Empty", "", ",", {}}, SplitCase{"NoSeparator", "abc", ",", {"abc"}},
        SplitCase{"Two", "a,b", ",", {"a", "b"}},
        SplitCase{"EmptyMiddle", "a\r\n\r\nb", "\r\n", {"a", "", "b"}},
        SplitCase{"TrailingSeparator", "a,b,", ",", {"a", "b"}},
        SplitCase{"LeadingSeparator", ",a", ",", {"", "a"}},
        SplitCase{"OnlySeparator", ",", ",", {""}}, SplitCase{"TwoSeparators", ",,", ",", {"", ""}},
        SplitCase{"LongSeparator", "a::b", "::", {"a", "b"}},
        SplitCase{"LongSeparatorOverlap", "a:::b", "::", {"a", ":b"}},
        SplitCase{"CaseMatters", "aXbxc", "x", {"aXb", "c"}},
        SplitCase{"SecondByteNotSeparator", kBarTail + "|a|b", "|", {kBarTail, "a", "b"}},
        SplitCase{"SecondByteOnly", "a" + kBarTail + "b", "|", {"a" + kBarTail + "b"}},
        SplitCase{"LoneLeadAtEnd", "a|\x81", "|", {"a", "\x81"}},
        SplitCase{"EmptySeparator", "abc", "", {"abc"}},
        SplitCase{"DoubleByteSeparator", "a" + kZhong + "b" + kZhong, kZhong, {"a", "b"}}),
    test::CaseName());

struct UnaryCase {
  const char* name;
  Text text;
  Text expected;
};

class TrimSpacesTest : public ::testing::TestWithParam<UnaryCase> {};

TEST_P(TrimSpacesTest, TrimsAsciiAndFullWidthSpaces) {
  EXPECT_EQ(TrimSpaces(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TrimSpacesTest,
    ::testing::Values(UnaryCase{"Ascii", "  a b  ", "a b"},
                      UnaryCase{"FullWidth", kFullWidthSpace + "a" + kFullWidthSpace, "a"},
                      UnaryCase{"Mixed", " " + kFullWidthSpace + " a " + kFullWidthSpace, "a"},
                      UnaryCase{"TabsStay", "\ta\t", "\ta\t"},
                      UnaryCase{"TabStopsTrim", " \t a", "\t a"},
                      UnaryCase{"LineBreaksStay", "\r\na\r\n", "\r\na\r\n"},
                      UnaryCase{"Empty", "", ""}, UnaryCase{"OnlySpaces", "   ", ""},
                      UnaryCase{"OnlyMixedSpaces", kFullWidthSpace + " " + kFullWidthSpace, ""},
                      // B0 A1 is one character; only the A1 A1 after it is a space.
                      UnaryCase{"SpaceAfterCharacterEndingInA1", "\xB0\xA1\xA1\xA1", "\xB0\xA1"},
                      UnaryCase{"CharacterEndingInA1ThenLoneA1", "\xB0\xA1\xA1", "\xB0\xA1\xA1"},
                      UnaryCase{"LoneA1AtEnd", "a\xA1", "a\xA1"},
                      UnaryCase{"A1WithOtherByte", "\xA1\xA2 x", "\xA1\xA2 x"},
                      UnaryCase{"A1WithAsciiSpace", "\xA1 a", "\xA1 a"},
                      UnaryCase{"LeadSwallowsSpace", " \x81 ", "\x81 "},
                      UnaryCase{"SpaceThenLoneA1", "x" + kFullWidthSpace + "\xA1",
                                "x" + kFullWidthSpace + "\xA1"}),
    test::CaseName());

class RemoveAllSpacesTest : public ::testing::TestWithParam<UnaryCase> {};

TEST_P(RemoveAllSpacesTest, RemovesEverySpace) {
  EXPECT_EQ(RemoveAllSpaces(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RemoveAllSpacesTest,
    ::testing::Values(UnaryCase{"Mixed", " a b" + kFullWidthSpace + "c ", "abc"},
                      UnaryCase{"TabsStay", "\ta \t", "\ta\t"}, UnaryCase{"Empty", "", ""},
                      UnaryCase{"SpaceAfterCharacterEndingInA1", "\xB0\xA1\xA1\xA1", "\xB0\xA1"},
                      UnaryCase{"LeadSwallowsSpace", "\x81 x", "\x81 x"},
                      UnaryCase{"LoneA1AtEnd", "x\xA1", "x\xA1"},
                      UnaryCase{"Characters", kZhong + " " + kWen, kZhong + kWen}),
    test::CaseName());

class UpperCaseTest : public ::testing::TestWithParam<UnaryCase> {};

TEST_P(UpperCaseTest, ChangesOnlySingleByteLetters) {
  EXPECT_EQ(UpperCase(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpperCaseTest,
    ::testing::Values(UnaryCase{"Ascii", "abcXYZ123-z", "ABCXYZ123-Z"},
                      UnaryCase{"Neighbours", "@[`{", "@[`{"}, UnaryCase{"Empty", "", ""},
                      UnaryCase{"SecondByteStays", kLowerATail + "a", kLowerATail + "A"},
                      UnaryCase{"LoneLeadAtEnd", "x\x81", "X\x81"},
                      UnaryCase{"HighBytesStay", "\xE1\xE2", "\xE1\xE2"}),
    test::CaseName());

struct ReplaceCase {
  const char* name;
  Text text;
  Text old_text;
  Text new_text;
  bool case_sensitive;
  Text expected;
};

class ReplaceTextTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceTextTest, ReplacesEveryOccurrence) {
  const ReplaceCase& c = GetParam();
  EXPECT_EQ(ReplaceText(c.text, c.old_text, c.new_text, !c.case_sensitive), c.expected);
}

// Both compare letters byte for byte unless told otherwise.
TEST(ReplaceText, TakesFindTextsCaseDefault) {
  EXPECT_EQ(ReplaceText("aXbxc", "x", "-"), "aXb-c");
  EXPECT_EQ(FindText("aXbxc", "x"), 4);
  EXPECT_EQ(ReplaceText("aXbxc", "x", "-", true), "a-b-c");
  EXPECT_EQ(FindText("aXbxc", "x", 1, true), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplaceTextTest,
    ::testing::Values(ReplaceCase{"IgnoresCaseWhenAsked", "aXbxc", "x", "-", false, "a-b-c"},
                      ReplaceCase{"CaseSensitive", "aXbxc", "x", "-", true, "aXb-c"},
                      ReplaceCase{"EmptyOld", "abc", "", "z", false, "abc"},
                      ReplaceCase{"EmptyText", "", "a", "b", false, ""},
                      ReplaceCase{"NonOverlapping", "aaa", "aa", "b", false, "ba"},
                      ReplaceCase{"Remove", "abcabc", "b", "", false, "acac"},
                      ReplaceCase{"InsertedTextNotRescanned", "a#b", "#", "##", false, "a##b"},
                      ReplaceCase{"Whole", "abc", "abc", "x", true, "x"},
                      ReplaceCase{"BackslashSecondByte", kBackslashTail + "\\", "\\", "/", true,
                                  kBackslashTail + "/"},
                      ReplaceCase{"IgnoreCaseNotOnSecondByte", kLowerATail + "a", "A", "_", false,
                                  kLowerATail + "_"},
                      ReplaceCase{"LoneLeadAtEnd", "x\x81", "\x81", "y", true, "xy"},
                      ReplaceCase{"DoubleByte", kZhong + kWen + kZhong, kZhong, "z", true,
                                  "z" + kWen + "z"}),
    test::CaseName());

struct CutCase {
  const char* name;
  Text text;
  int start;  // MiddleText only
  int n;
  Text expected;
};

class LeftTextTest : public ::testing::TestWithParam<CutCase> {};
TEST_P(LeftTextTest, TakesFirstBytes) {
  EXPECT_EQ(LeftText(GetParam().text, GetParam().n), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Table, LeftTextTest,
                         ::testing::Values(CutCase{"Two", "abc", 0, 2, "ab"},
                                           CutCase{"Zero", "abc", 0, 0, ""},
                                           CutCase{"Negative", "abc", 0, -1, ""},
                                           CutCase{"IntMin", "abc", 0, INT_MIN, ""},
                                           CutCase{"Exact", "abc", 0, 3, "abc"},
                                           CutCase{"Beyond", "abc", 0, 4, "abc"},
                                           CutCase{"IntMax", "abc", 0, INT_MAX, "abc"},
                                           CutCase{"EmptyText", "", 0, 5, ""},
                                           CutCase{"CountsBytes", kZhong + kWen, 0, 1, "\xD6"}),
                         test::CaseName());

class RightTextTest : public ::testing::TestWithParam<CutCase> {};
TEST_P(RightTextTest, TakesLastBytes) {
  EXPECT_EQ(RightText(GetParam().text, GetParam().n), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Table, RightTextTest,
    ::testing::Values(CutCase{"Two", "abc", 0, 2, "bc"}, CutCase{"Zero", "abc", 0, 0, ""},
                      CutCase{"Negative", "abc", 0, -3, ""},
                      CutCase{"IntMin", "abc", 0, INT_MIN, ""},
                      CutCase{"Exact", "abc", 0, 3, "abc"}, CutCase{"Beyond", "abc", 0, 5, "abc"},
                      CutCase{"IntMax", "abc", 0, INT_MAX, "abc"},
                      CutCase{"EmptyText", "", 0, 1, ""},
                      CutCase{"CountsBytes", kZhong + kWen, 0, 3, "\xD0" + kWen}),
    test::CaseName());

class MiddleTextTest : public ::testing::TestWithParam<CutCase> {};
TEST_P(MiddleTextTest, TakesBytesFromStart) {
  EXPECT_EQ(MiddleText(GetParam().text, GetParam().start, GetParam().n), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Table, MiddleTextTest,
                         ::testing::Values(CutCase{"Inside", "abcdef", 2, 3, "bcd"},
                                           CutCase{"StartZero", "abcdef", 0, 3, ""},
                                           CutCase{"StartNegative", "abcdef", -1, 3, ""},
                                           CutCase{"StartIntMin", "abcdef", INT_MIN, 5, ""},
                                           CutCase{"StartBeyond", "abcdef", 7, 1, ""},
                                           CutCase{"StartIntMax", "abcdef", INT_MAX, INT_MAX, ""},
                                           CutCase{"LastByte", "abcdef", 6, 1, "f"},
                                           CutCase{"RunsOut", "abcdef", 5, 10, "ef"},
                                           CutCase{"CountIntMax", "abcdef", 1, INT_MAX, "abcdef"},
                                           CutCase{"CountZero", "abcdef", 2, 0, ""},
                                           CutCase{"CountNegative", "abcdef", 2, -1, ""},
                                           CutCase{"CountIntMin", "abcdef", 2, INT_MIN, ""},
                                           CutCase{"EmptyText", "", 1, 1, ""}),
                         test::CaseName());

TEST(TextLength, CountsBytes) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("abc"), 3);
  EXPECT_EQ(TextLength(kZhong + kWen + "x"), 5);
}

TEST(TextBytes, TextToBytesKeepsEveryByteWithoutTerminator) {
  EXPECT_EQ(TextToBytes(""), Bytes{});
  EXPECT_EQ(TextToBytes("a\xFF" + kZhong), (Bytes{0x61, 0xFF, 0xD6, 0xD0}));
}

TEST(TextBytes, BytesToTextStopsAtFirstZero) {
  EXPECT_EQ(BytesToText({}), "");
  EXPECT_EQ(BytesToText({0x61, 0x00, 0x62}), "a");
  EXPECT_EQ(BytesToText({0x00, 0x61}), "");
  EXPECT_EQ(BytesToText({0xD6, 0xD0, 0x41}), kZhong + "A");
  EXPECT_EQ(BytesToText({0x61, 0x62, 0x00}), "ab");
}

TEST(TextBytes, RoundTripWithoutZero) {
  Bytes all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
  EXPECT_EQ(TextToBytes(BytesToText(all)), all);
}

struct Base64Case {
  const char* name;
  Bytes input;
  Text expected;
};

class Base64EncodeTest : public ::testing::TestWithParam<Base64Case> {};

TEST_P(Base64EncodeTest, EncodesStandardAlphabetWithPadding) {
  EXPECT_EQ(Base64Encode(GetParam().input), GetParam().expected);
}

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

INSTANTIATE_TEST_SUITE_P(
    Table, Base64EncodeTest,
    ::testing::Values(Base64Case{"Empty", {}, ""}, Base64Case{"OneByte", B("f"), "Zg=="},
                      Base64Case{"TwoBytes", B("fo"), "Zm8="},
                      Base64Case{"ThreeBytes", B("foo"), "Zm9v"},
                      Base64Case{"FourBytes", B("foob"), "Zm9vYg=="},
                      Base64Case{"FiveBytes", B("fooba"), "Zm9vYmE="},
                      Base64Case{"SixBytes", B("foobar"), "Zm9vYmFy"},
                      Base64Case{"Credentials", B("user:pass"), "dXNlcjpwYXNz"},
                      Base64Case{"Zeros", {0, 0, 0}, "AAAA"},
                      Base64Case{"HighBytes", {0xFF, 0xFE, 0xFD}, "//79"},
                      Base64Case{"PlusAndSlash", {0xFB, 0xFF}, "+/8="},
                      Base64Case{"Gbk", B("\xD6\xD0\xCE\xC4"), "1tDOxA=="}),
    test::CaseName());

TEST(Base64EncodeLong, InsertsNoLineBreaks) {
  const Text encoded = Base64Encode(Bytes(100, 'a'));
  EXPECT_EQ(encoded.size(), 136u);
  EXPECT_EQ(encoded.find('\n'), Text::npos);
  EXPECT_EQ(encoded.find('\r'), Text::npos);
  EXPECT_EQ(encoded.substr(0, 8), "YWFhYWFh");
  EXPECT_EQ(encoded.substr(132), "YQ==");
}

struct BetweenCase {
  const char* name;
  Text text;
  Text left;
  Text right;
  int start;
  bool ignore_case;
  Text expected;
};

class TextBetweenTest : public ::testing::TestWithParam<BetweenCase> {};

TEST_P(TextBetweenTest, CutsBetweenMarkers) {
  const BetweenCase& c = GetParam();
  EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.ignore_case), c.expected);
}

const Text kQuote = "#\xD2\xFD\xBA\xC5";  // #引号

INSTANTIATE_TEST_SUITE_P(
    Table, TextBetweenTest,
    ::testing::Values(
        BetweenCase{"Simple", "<a>x</a>", "<a>", "</a>", 1, false, "x"},
        BetweenCase{"RightOnlyBeforeLeft", "</a>x<a>y", "<a>", "</a>", 1, false, ""},
        BetweenCase{"Touching", "<a></a>", "<a>", "</a>", 1, false, ""},
        BetweenCase{"LeftMissing", "x</a>", "<a>", "</a>", 1, false, ""},
        BetweenCase{"RightMissing", "<a>x", "<a>", "</a>", 1, false, ""},
        BetweenCase{"FirstLeftOccurrence", "[1][2]", "[", "]", 1, false, "1"},
        BetweenCase{"LeftAtOrAfterStart", "[1][2]", "[", "]", 2, false, "2"},
        BetweenCase{"StartBeyond", "[1]", "[", "]", 10, false, ""},
        BetweenCase{"StartNegative", "[1]", "[", "]", -3, false, "1"},
        BetweenCase{"IgnoreCase", "<TD>x</td>", "<td>", "</TD>", 1, true, "x"},
        BetweenCase{"CaseMatters", "<TD>x</td>", "<td>", "</TD>", 1, false, ""},
        BetweenCase{"QuotePlaceholder", "id=\"v\" x", "id=" + kQuote, kQuote, 1, false, "v"},
        BetweenCase{"TwoPlaceholders", "a\"\"xb", kQuote + kQuote, "b", 1, false, "x"},
        BetweenCase{"PlaceholderWithoutQuoteInText", "id=v", "id=" + kQuote, kQuote, 1, false, ""},
        BetweenCase{"LeftMarkerOnSecondByte", "\x81[a][b]", "[", "]", 1, false, "b"},
        BetweenCase{"RightMarkerOnSecondByte", "[" + kBarTail + "|", "[", "|", 1, false, kBarTail},
        BetweenCase{"DoubleByteMarkers", kZhong + "x" + kWen, kZhong, kWen, 1, false, "x"},
        BetweenCase{"EmptyLeftMarkerMeansFromFirstByte", "abc", "", "c", 1, false, "ab"},
        BetweenCase{"EmptyRightMarker", "abc", "a", "", 1, false, ""},
        BetweenCase{"LoneLeadAtEnd", "[x\x81", "[", "\x81", 1, false, "x"}),
    test::CaseName());

TEST(TextBetweenPlaceholder, EscapedBytesMatchReadableSpelling) {
  EXPECT_EQ(kQuote, Gbk(u8"#引号"));
  EXPECT_EQ(TextBetween("<a href=\"/x\">", Gbk(u8"href=#引号"), Gbk(u8"#引号")), "/x");
}

struct BeforeCase {
  const char* name;
  Text text;
  Text marker;
  int start;
  bool ignore_case;
  Text expected;
};

class TextBeforeTest : public ::testing::TestWithParam<BeforeCase> {};

TEST_P(TextBeforeTest, CutsBeforeMarker) {
  const BeforeCase& c = GetParam();
  EXPECT_EQ(TextBefore(c.text, c.marker, c.start, c.ignore_case), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextBeforeTest,
    ::testing::Values(BeforeCase{"Header", "Set-Cookie: a=1", ": ", 1, false, "Set-Cookie"},
                      BeforeCase{"Missing", "abc", "x", 1, false, ""},
                      BeforeCase{"AtStart", "abc", "a", 1, false, ""},
                      BeforeCase{"FromStart", "a:b:c", ":", 3, false, "a:b"},
                      BeforeCase{"StartZero", "a:b", ":", 0, false, "a"},
                      BeforeCase{"StartNegative", "a:b", ":", -7, false, "a"},
                      BeforeCase{"StartIntMin", "a:b", ":", INT_MIN, false, "a"},
                      BeforeCase{"StartBeyond", "a:b", ":", 5, false, ""},
                      BeforeCase{"IgnoreCase", "abXcd", "x", 1, true, "ab"},
                      BeforeCase{"SecondByte", "\x81:x:", ":", 1, false, "\x81:x"}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
