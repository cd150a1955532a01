#include "web/headers.h"
#include "support/named_case.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kelvaro {
namespace {

KELVARO_PRINT_CASES_BY_NAME()

const Text kFullWidthSpace = "\xA1\xA1";

struct TextCase {
  const char* name;
  Text input;
  Text expected;
};

class NormalizeRequestHeadersTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(NormalizeRequestHeadersTest, CapitalizesNamesAndDropsBadLines) {
  EXPECT_EQ(NormalizeRequestHeaders(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NormalizeRequestHeadersTest,
    ::testing::Values(
        TextCase{"LowerCaseNames", "accept-language: zh-cn\r\nx-requested-with: XMLHttpRequest",
                 "Accept-Language: zh-cn\r\nX-Requested-With: XMLHttpRequest"},
        TextCase{"ColonWithoutSpaceDropped", "referer:http://x/\r\naccept: */*", "Accept: */*"},
        TextCase{"TrailingHyphenLost", "accept-: x", "Accept: x"},
        TextCase{"LeadingHyphenKept", "-x: 1", "-X: 1"},
        TextCase{"DoubleHyphenKept", "a--b: 1", "A--B: 1"},
        TextCase{"CapitalsStay", "ACCEPT: x", "ACCEPT: x"},
        TextCase{"OnlyFirstByteOfPiece", "x-rEQUESTED-wITH: v", "X-REQUESTED-WITH: v"},
        TextCase{"ValueUnchanged", "accept: text/html; q=0.9", "Accept: text/html; q=0.9"},
        TextCase{"ValueWithColonSpaceEmptied", "host: a: b", "Host: "},
        TextCase{"NoValue", "a: ", "A: "}, TextCase{"EmptyName", ": v", ": v"},
        TextCase{"Empty", "", ""}, TextCase{"OneLineNoBreak", "user-agent: k", "User-Agent: k"},
        TextCase{"EmptyLinesAndTrailingBreak", "a: b\r\n\r\nc: d\r\n", "A: b\r\nC: d"},
        TextCase{"OnlyBadLines", "x\r\ny:z", ""},
        TextCase{"LeadByteNotChanged", "\xD6\xD0-x: 1", "\xD6\xD0-X: 1"},
        TextCase{"LoneLineFeedStaysInLine", "a: b\nc: d", "A: "}),
    test::CaseName());

class CapitalizeFirstTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(CapitalizeFirstTest, UpperCasesFirstAsciiLetter) {
  EXPECT_EQ(CapitalizeFirst(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CapitalizeFirstTest,
    ::testing::Values(TextCase{"Empty", "", ""}, TextCase{"Lower", "abc", "Abc"},
                      TextCase{"OneLetter", "z", "Z"}, TextCase{"Upper", "Abc", "Abc"},
                      TextCase{"Digit", "1a", "1a"}, TextCase{"Backtick", "`a", "`a"},
                      TextCase{"LeadByte", "\xE1\x61", "\xE1\x61"}),
    test::CaseName());

struct HeaderLineCase {
  const char* name;
  Text line;
  Text header_name;
  Text header_value;
};

class HeaderLineTest : public ::testing::TestWithParam<HeaderLineCase> {};

TEST_P(HeaderLineTest, CutsAtFirstColonAndTrims) {
  EXPECT_EQ(HeaderName(GetParam().line), GetParam().header_name);
  EXPECT_EQ(HeaderValue(GetParam().line), GetParam().header_value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HeaderLineTest,
    ::testing::Values(
        HeaderLineCase{"Plain", "Content-Type: text/html", "Content-Type", "text/html"},
        HeaderLineCase{"NoSpace", "Host:example.com:8080", "Host", "example.com:8080"},
        HeaderLineCase{"Spaces", "  X  :  y  ", "X", "y"},
        HeaderLineCase{"FullWidthSpaces",
                       kFullWidthSpace + "Name" + kFullWidthSpace + ": " + kFullWidthSpace + "v",
                       "Name", "v"},
        HeaderLineCase{"TabsKept", "\tA:\tb\t", "\tA", "\tb\t"},
        HeaderLineCase{"NoColon", "no colon", "", ""}, HeaderLineCase{"Empty", "", "", ""},
        HeaderLineCase{"OnlyColon", ":", "", ""}, HeaderLineCase{"NoValue", "a:", "a", ""},
        HeaderLineCase{"ColonAsSecondByte", "\x81:x: y", "\x81:x", "y"}),
    test::CaseName());

class CollectCookiesTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(CollectCookiesTest, JoinsNameValuePairs) {
  EXPECT_EQ(CollectCookies(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CollectCookiesTest,
    ::testing::Values(
        TextCase{"TwoCookiesAttributesDropped",
                 "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/; HttpOnly\r\nSet-Cookie: b=2\r\n"
                 "Content-Type: text/html\r\n\r\n",
                 "a=1; b=2"},
        TextCase{"OtherLetterCaseIgnored", "set-cookie: a=1\r\nSET-COOKIE: b=2", ""},
        TextCase{"Empty", "", ""}, TextCase{"NoHeaders", "HTTP/1.1 200 OK\r\nServer: x", ""},
        TextCase{"ColonWithoutSpaceIgnored", "Set-Cookie:a=1", ""},
        TextCase{"EmptyItemKept", "Set-Cookie: \r\nSet-Cookie: a=1", "; a=1"},
        TextCase{"OnlyEndsTrimmed", "Set-Cookie:  sp ace = v ; path=/", "sp ace = v"},
        TextCase{"FullWidthSpacesTrimmed",
                 "Set-Cookie: " + kFullWidthSpace + "a=1" + kFullWidthSpace, "a=1"},
        TextCase{"OtherHeaderMentioningSetCookie", "Set-Cookie: a=1\r\nX: Set-Cookie: b", "a=1"},
        TextCase{"PrefixRemovedIgnoringCase", "Set-Cookie: x=set-cookie:y", "x=y"},
        TextCase{"EmptyValueBeforeAttributes", "Set-Cookie: a=; Max-Age=0", "a="},
        TextCase{"ThreeCookies", "Set-Cookie: a=1\r\nSet-Cookie: b=2;x\r\nSet-Cookie: c=3",
                 "a=1; b=2; c=3"},
        TextCase{"ValueEndingInAHighByteKeepsTheNextLine",
                 "X-Name: \xB1\r\nSet-Cookie: a=1\r\nX-Other: \xFF\r\nSet-Cookie: b=2",
                 "a=1; b=2"}),
    test::CaseName());

struct MergeCase {
  const char* name;
  Text old_cookies;
  Text new_cookies;
  Text expected;
  Text new_after;
};

class MergeCookiesTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeCookiesTest, NewReplacesOldByName) {
  const MergeCase& c = GetParam();
  Text old_cookies = c.old_cookies;
  Text new_cookies = c.new_cookies;
  EXPECT_EQ(MergeCookies(old_cookies, new_cookies), c.expected);
  EXPECT_EQ(old_cookies, c.expected);
  EXPECT_EQ(new_cookies, c.new_after);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MergeCookiesTest,
    ::testing::Values(
        MergeCase{"NewFirstThenOld", "a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3;c=4"},
        MergeCase{"DeletedReplacesAndDrops", "a=1", "a=deleted", "", "a=deleted"},
        MergeCase{"DeletedOthersKept", "b=2", "a=deleted", "b=2", "a=deleted"},
        MergeCase{"OldDeletedDropped", "x=deleted; y=1", "", "y=1", ""},
        MergeCase{"SpacesInValuesLost", "a=x y", "", "a=xy", ""},
        MergeCase{"FullWidthSpacesLost", "a=" + kFullWidthSpace + "1", "b=2 3", "b=23; a=1",
                  "b=23"},
        MergeCase{"EmptyItemSurvives", "a=1;;b=2", "", "a=1; ; b=2", ""},
        MergeCase{"BothEmpty", "", "", "", ""}, MergeCase{"OnlyNew", "", "a=1", "a=1", "a=1"},
        MergeCase{"OnlyOld", "a=1; b=2", "", "a=1; b=2", ""},
        MergeCase{"FirstOldOfNameSurvives", "a=1; a=2", "", "a=1", ""},
        MergeCase{"RepeatedNewItemOnce", "", "a=1; a=1", "a=1", "a=1;a=1"},
        MergeCase{"SameNameDifferentValuesKept", "", "a=1; a=2", "a=1; a=2", "a=1;a=2"},
        MergeCase{"ItemWithoutEquals", "flag; a=1", "flag", "flag; a=1", "flag"},
        MergeCase{"OldOrderKept", "c=3; a=1; b=2", "x=0", "x=0; c=3; a=1; b=2", "x=0"},
        MergeCase{"TrailingSeparator", "a=1;", "b=2;", "b=2; a=1", "b=2;"}),
    test::CaseName());

TEST(MergeCookies, MergingTwiceIsStable) {
  Text old_cookies = "a=1; b=2";
  Text new_cookies = "b=3";
  MergeCookies(old_cookies, new_cookies);
  Text again = "";
  EXPECT_EQ(MergeCookies(old_cookies, again), "b=3; a=1");
}

class CookieNameTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(CookieNameTest, TakesTextBeforeEquals) {
  EXPECT_EQ(CookieName(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, CookieNameTest,
                         ::testing::Values(TextCase{"Plain", "a=1", "a"},
                                           TextCase{"Trimmed", " a =1", "a"},
                                           TextCase{"NoEquals", "flag", "flag"},
                                           TextCase{"NoEqualsTrimmed", " flag ", "flag"},
                                           TextCase{"EmptyName", "=v", ""},
                                           TextCase{"FirstEquals", "a=b=c", "a"},
                                           TextCase{"Empty", "", ""},
                                           TextCase{"EqualsAsSecondByte", "\x81=x=1", "\x81=x"}),
                         test::CaseName());

TEST(HasCookieNamed, MatchesNameExactly) {
  const TextList items = {"a=1", " b =2", "flag"};
  EXPECT_TRUE(HasCookieNamed(items, "a"));
  EXPECT_TRUE(HasCookieNamed(items, "b"));
  EXPECT_TRUE(HasCookieNamed(items, "flag"));
  EXPECT_FALSE(HasCookieNamed(items, "B"));
  EXPECT_FALSE(HasCookieNamed(items, "a=1"));
  EXPECT_FALSE(HasCookieNamed(items, ""));
  EXPECT_FALSE(HasCookieNamed({}, ""));
  EXPECT_TRUE(HasCookieNamed({"=x"}, ""));
}

struct DuplicateCase {
  const char* name;
  Text text;
  Text separator;
  Text expected;
};

class RemoveDuplicateItemsTest : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(RemoveDuplicateItemsTest, KeepsFirstOfEqualItems) {
  const DuplicateCase& c = GetParam();
  EXPECT_EQ(RemoveDuplicateItems(c.text, c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RemoveDuplicateItemsTest,
    ::testing::Values(DuplicateCase{"Repeat", "a; b; a", "; ", "a; b"},
                      DuplicateCase{"Empty", "", "; ", ""}, DuplicateCase{"Single", "x", "; ", "x"},
                      DuplicateCase{"WholeItemsCompared", "a; a=1; a", "; ", "a; a=1"},
                      DuplicateCase{"EmptyItems", "a,,b,,", ",", "a,,b"},
                      DuplicateCase{"CaseMatters", "A,a,A", ",", "A,a"},
                      DuplicateCase{"TrailingSeparatorDropped", "a,b,", ",", "a,b"}),
    test::CaseName());

TEST(IndexOfItem, FindsFirstEqualItem) {
  const TextList items = {"a", "b", "a", ""};
  EXPECT_EQ(IndexOfItem(items, "a"), 1);
  EXPECT_EQ(IndexOfItem(items, "b"), 2);
  EXPECT_EQ(IndexOfItem(items, ""), 4);
  EXPECT_EQ(IndexOfItem(items, "c"), -1);
  EXPECT_EQ(IndexOfItem(items, "A"), -1);
  EXPECT_EQ(IndexOfItem({}, ""), -1);
}

}  // namespace
}  // namespace kelvaro
