#include "text/encoding.h"
#include "support/named_case.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kelvaro {
namespace {

KELVARO_PRINT_CASES_BY_NAME()

const std::string kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

std::string Utf8(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }

struct ConversionCase {
  const char* name;
  std::string input;
  std::string expected;
};

class Utf8ToGbkTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(Utf8ToGbkTest, Converts) { EXPECT_EQ(Utf8ToGbk(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8ToGbkTest,
    ::testing::Values(
        ConversionCase{"Empty", "", ""},
        ConversionCase{"AsciiUnchanged", "GB/T50001-2010\r\nGB 50300-2013\t\x7F",
                       "GB/T50001-2010\r\nGB 50300-2013\t\x7F"},
        ConversionCase{"Chinese", Utf8(u8"中文"), "\xD6\xD0\xCE\xC4"},
        ConversionCase{"StatusWords", Utf8(u8"现行有新标准未知"),
                       "\xCF\xD6\xD0\xD0\xD3\xD0\xD0\xC2\xB1\xEA\xD7\xBC\xCE\xB4\xD6\xAA"},
        ConversionCase{"FullWidthSpace", Utf8(u8"a\u3000b"),
                       "a\xA1\xA1"
                       "b"},
        ConversionCase{"MixedLine", Utf8(u8"GB/T 50001-2010 现行"),
                       "GB/T 50001-2010 \xCF\xD6\xD0\xD0"},
        ConversionCase{"BomDropped",
                       "\xEF\xBB\xBF"
                       "abc",
                       "abc"},
        ConversionCase{"OnlyBom", "\xEF\xBB\xBF", ""},
        ConversionCase{"SecondBomNotDropped",
                       "\xEF\xBB\xBF\xEF\xBB\xBF"
                       "a",
                       "?a"},
        ConversionCase{"BomInsideLine", "a\xEF\xBB\xBF", "a?"},
        ConversionCase{"TruncatedBom",
                       "\xEF\xBB"
                       "a",
                       "?a"},
        ConversionCase{"LoneContinuation", "\x80", "?"},
        ConversionCase{"TwoContinuations", "\x80\xBF", "??"},
        ConversionCase{"OverlongTwoByte", "\xC0\xAF", "??"},
        ConversionCase{"OverlongThreeByte", "\xE0\x80\x80", "???"},
        ConversionCase{"TruncatedThreeByte", "\xE4\xB8", "?"},
        ConversionCase{"TruncatedThenAscii", "\xE4\xB8x", "?x"},
        ConversionCase{"TruncatedThenCharacter", "\xE4\xB8\xE6\x96\x87", "?\xCE\xC4"},
        ConversionCase{"TruncatedFourByte", "\xF0\x9F\x98", "?"},
        ConversionCase{"Surrogate", "\xED\xA0\x80", "???"},
        ConversionCase{"AboveMaximum", "\xF4\x90\x80\x80", "????"},
        ConversionCase{"FiveByteForm", "\xF8\x88\x80\x80\x80", "?????"},
        ConversionCase{"InvalidByteFF",
                       "a\xFF"
                       "b",
                       "a?b"},
        ConversionCase{"LeadAtEnd", "a\xC2", "a?"},
        ConversionCase{"LeadBeforeSpace", "a\xC2 b", "a? b"},
        // The example of the Unicode standard's "maximal subpart" practice.
        ConversionCase{"UnicodeExample", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
                       "a???b?c??d"},
        ConversionCase{"ReplacementCharacterItself", "\xEF\xBF\xBD", "?"},
        ConversionCase{"Emoji", "\xF0\x9F\x98\x80", "?"}, ConversionCase{"Thai", Utf8(u8"ก"), "?"},
        ConversionCase{"Euro", Utf8(u8"€"), "?"},
        ConversionCase{"MiddleDot", Utf8(u8"·"), "\xA1\xA4"},
        ConversionCase{"DashesAndSpacesGbkLacksTakeTheirAsciiForm",
                       Utf8(u8"GB\u00A050016\u22122014 \u2011\u2007\u202F"), "GB 50016-2014 -  "},
        ConversionCase{"HyphenGbkHoldsKept", Utf8(u8"\u2010"), "\xA9\x5C"}),
    test::CaseName());

class GbkToUtf8Test : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(GbkToUtf8Test, Converts) { EXPECT_EQ(GbkToUtf8(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Table, GbkToUtf8Test,
    ::testing::Values(ConversionCase{"Empty", "", ""},
                      ConversionCase{"Ascii", "GB/T50001-2010\r\n", "GB/T50001-2010\r\n"},
                      ConversionCase{"Chinese", "\xD6\xD0\xCE\xC4", Utf8(u8"中文")},
                      ConversionCase{"FullWidthSpace", "\xA1\xA1", Utf8(u8"\u3000")},
                      ConversionCase{"LoneLeadAtEnd", "a\xD6", "a" + kReplacementUtf8},
                      ConversionCase{"InvalidLead80",
                                     "\x80\x41"
                                     "b",
                                     kReplacementUtf8 + "b"},
                      ConversionCase{"InvalidLeadFF", "\xFF\xFF", kReplacementUtf8},
                      ConversionCase{"InvalidTrail7F",
                                     "\x81\x7F"
                                     "c",
                                     kReplacementUtf8 + "c"},
                      ConversionCase{"SecondByteAscii", "\x95\x5C", Utf8(u8"\u661E")}),
    test::CaseName());

TEST(GbkConstant, SpellsUtf8LiteralInGbk) {
  EXPECT_EQ(Gbk(u8"现行"), "\xCF\xD6\xD0\xD0");
  EXPECT_EQ(Gbk(u8"有新标准"), "\xD3\xD0\xD0\xC2\xB1\xEA\xD7\xBC");
  EXPECT_EQ(Gbk(u8"未知"), "\xCE\xB4\xD6\xAA");
  EXPECT_EQ(Gbk(u8"#引号"), "#\xD2\xFD\xBA\xC5");
  EXPECT_EQ(Gbk(u8""), "");
  EXPECT_EQ(Gbk(nullptr), "");
}

TEST(Utf8ToGbkRoundTrip, EveryGbkCharacterComesBack) {
  // Every two-byte text that reads as a character converts back to the same two bytes.
  int characters = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const Text pair = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string utf8 = GbkToUtf8(pair);
      if (utf8 == kReplacementUtf8) continue;
      ++characters;
      ASSERT_EQ(Utf8ToGbk(utf8), pair) << std::hex << lead << " " << trail;
    }
  }
  // GBK holds 21886 characters; a converter that lost its table would find none.
  EXPECT_GT(characters, 21000);
}

TEST(Utf8ToGbkRoundTrip, EveryConvertibleCodePointComesBack) {
  int convertible = 0;
  for (char32_t c = 0x80; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    // Not first in the text, where U+FEFF would be taken for a byte-order mark.
    std::string utf8 = "x";
    AppendUtf8(utf8, c);
    const Text converted = Utf8ToGbk(utf8);
    ASSERT_EQ(converted[0], 'x');
    const Text gbk = converted.substr(1);
    if (gbk == "?" || gbk == "-" || gbk == " ") continue;  // none, or an ASCII neighbour
    ++convertible;
    ASSERT_EQ(gbk.size(), 2u) << std::hex << static_cast<unsigned>(c);
    ASSERT_GE(static_cast<unsigned char>(gbk[0]), 0x80u);
    const Text again = Utf8ToGbk(GbkToUtf8(gbk));
    ASSERT_EQ(again, gbk) << std::hex << static_cast<unsigned>(c);
  }
  EXPECT_GT(convertible, 21000);
}

TEST(Utf8ToGbkRoundTrip, TextWithManyLines) {
  std::string utf8;
  Text gbk;
  for (int i = 0; i < 1000; ++i) {
    utf8 += Utf8(u8"GB/T 50001-2010 现行\r\n");
    gbk += "GB/T 50001-2010 \xCF\xD6\xD0\xD0\r\n";
  }
  EXPECT_EQ(Utf8ToGbk(utf8), gbk);
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
}

class SanitizeUtf8Test : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(SanitizeUtf8Test, ReplacesEachMaximalInvalidSequence) {
  EXPECT_EQ(SanitizeUtf8(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SanitizeUtf8Test,
    ::testing::Values(
        ConversionCase{"Ascii", "plain", "plain"},
        ConversionCase{"ChineseAndEmoji", Utf8(u8"现行😀"), Utf8(u8"现行😀")},
        ConversionCase{"StrayByte",
                       "a\xFF"
                       "b",
                       "a" + kReplacementUtf8 + "b"},
        ConversionCase{"CutAtEnd", "\xE7\x8E", kReplacementUtf8},
        ConversionCase{"CutBeforeAscii",
                       "\xE7\x8E"
                       "x",
                       kReplacementUtf8 + "x"},
        ConversionCase{"TwoContinuations", "\x80\x80", kReplacementUtf8 + kReplacementUtf8},
        ConversionCase{"Overlong", "\xC0\xAF", kReplacementUtf8 + kReplacementUtf8},
        ConversionCase{"Surrogate", "\xED\xA0\x80",
                       kReplacementUtf8 + kReplacementUtf8 + kReplacementUtf8},
        ConversionCase{"PastU10FFFF", "\xF4\x90\x80\x80",
                       kReplacementUtf8 + kReplacementUtf8 + kReplacementUtf8 + kReplacementUtf8},
        ConversionCase{"CutFourByte", "\xF0\x9F\x98", kReplacementUtf8}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
