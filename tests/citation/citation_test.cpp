#include "citation/citation.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

KELVARO_PRINT_CASES_BY_NAME()

std::string Utf8(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }

// What holds for every citation found, whatever the table checks besides.
std::vector<Citation> Find(const std::string& text) {
  std::vector<Citation> found = FindCitations(text);
  const Citation* last = nullptr;
  for (const Citation& c : found) {
    const bool same_range = last && last->begin == c.begin && last->end == c.end;
    EXPECT_TRUE(same_range || !last || last->end <= c.begin)
        << "out of order or overlapping: " << c.written;
    EXPECT_LT(c.begin, c.end) << c.number;
    EXPECT_EQ(c.written, text.substr(c.begin, c.end - c.begin)) << c.number;
    last = &c;
  }
  return found;
}

struct NumberCase {
  const char* name;
  std::string text;
  std::string number;
  std::string code;
  std::string serial;
  std::string year;
  int full_year;
  std::string written;
};

class NumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberTest, ReadsOneCitation) {
  const NumberCase& c = GetParam();
  const std::vector<Citation> found = Find(c.text);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].number, c.number);
  EXPECT_EQ(found[0].code, c.code);
  EXPECT_EQ(found[0].serial, c.serial);
  EXPECT_EQ(found[0].year, c.year);
  EXPECT_EQ(found[0].full_year, c.full_year);
  EXPECT_EQ(found[0].written, c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumberTest,
    ::testing::Values(
        // As users copy them.
        NumberCase{"EmDash", Utf8(u8"GB/T 50001—2017"), "GB/T 50001-2017", "GB/T", "50001", "2017",
                   2017, Utf8(u8"GB/T 50001—2017")},
        NumberCase{"FullWidthHyphen", Utf8(u8"GB 50007－2011"), "GB 50007-2011", "GB", "50007",
                   "2011", 2011, Utf8(u8"GB 50007－2011")},
        NumberCase{"FullWidthLettersAndIdeographicSpace", Utf8(u8"ＧＢ　50017-2017"),
                   "GB 50017-2017", "GB", "50017", "2017", 2017, Utf8(u8"ＧＢ　50017-2017")},
        NumberCase{"FullWidthDigitsAndSlash", Utf8(u8"ＧＢ／Ｔ５０００１－２０１７"),
                   "GB/T 50001-2017", "GB/T", "50001", "2017", 2017,
                   Utf8(u8"ＧＢ／Ｔ５０００１－２０１７")},
        NumberCase{"NameWithoutMarksStaysOut", Utf8(u8"GB 50009-2012 建筑结构荷载规范"),
                   "GB 50009-2012", "GB", "50009", "2012", 2012, "GB 50009-2012"},
        NumberCase{"ChineseRightAfter", Utf8(u8"GB50016-2014规定"), "GB 50016-2014", "GB", "50016",
                   "2014", 2014, "GB50016-2014"},
        NumberCase{"SpacesAroundTheSlashAndRuns", "GB / T   50001 - 2017", "GB/T 50001-2017",
                   "GB/T", "50001", "2017", 2017, "GB / T   50001 - 2017"},
        NumberCase{"DoubleEmDash", Utf8(u8"GB 50016——2014"), "GB 50016-2014", "GB", "50016", "2014",
                   2014, Utf8(u8"GB 50016——2014")},
        NumberCase{"MixedRunOfDashes", Utf8(u8"GB 50016 -－⸺ 2014"), "GB 50016-2014", "GB", "50016",
                   "2014", 2014, Utf8(u8"GB 50016 -－⸺ 2014")},
        NumberCase{"RunsAroundAnInnerPart", Utf8(u8"JTS 144——1——2010"), "JTS 144-1-2010", "JTS",
                   "144-1", "2010", 2010, Utf8(u8"JTS 144——1——2010")},
        // Wrapped at the end of a line, as a PDF's text gives it.
        NumberCase{"WrappedBetweenCodeAndSerial", "GB/T\n50001-2017", "GB/T 50001-2017", "GB/T",
                   "50001", "2017", 2017, "GB/T\n50001-2017"},
        NumberCase{"WrappedWithSpacesAndCrLf", "GB \r\n 50016-2014", "GB 50016-2014", "GB", "50016",
                   "2014", 2014, "GB \r\n 50016-2014"},
        NumberCase{"WrappedAfterTheYearDash", "GB 50010-\n2010", "GB 50010-2010", "GB", "50010",
                   "2010", 2010, "GB 50010-\n2010"},
        NumberCase{"WrappedAfterTheColon", "CECS 102:\n2002", "CECS 102:2002", "CECS", "102",
                   "2002", 2002, "CECS 102:\n2002"},
        NumberCase{"WrappedAfterAnEmDash", Utf8(u8"GB 50016—\n2014"), "GB 50016-2014", "GB",
                   "50016", "2014", 2014, Utf8(u8"GB 50016—\n2014")},
        NumberCase{"WrappedAfterAnInnerDash", "JTS 144-\n1-2010", "JTS 144-1-2010", "JTS", "144-1",
                   "2010", 2010, "JTS 144-\n1-2010"},
        NumberCase{"WrappedAfterTheCodeSlash", "GB/\nT 50001", "GB/T 50001", "GB/T", "50001", "", 0,
                   "GB/\nT 50001"},
        NumberCase{"WrappedAfterTheGroupSlash", "T/\nCECS 102-2002", "T/CECS 102-2002", "T/CECS",
                   "102", "2002", 2002, "T/\nCECS 102-2002"},
        NumberCase{"WrappedAfterTheLocalSlash", "DB11/\n687-2015", "DB11/ 687-2015", "DB11/", "687",
                   "2015", 2015, "DB11/\n687-2015"},
        NumberCase{"WrappedTwice", "DG/\nTJ 08-\n11-2018", "DG/TJ 08-11-2018", "DG/TJ", "08-11",
                   "2018", 2018, "DG/\nTJ 08-\n11-2018"},
        // Years.
        NumberCase{"TwoDigitYear19xx", "GB 50045-95", "GB 50045-95", "GB", "50045", "95", 1995,
                   "GB 50045-95"},
        NumberCase{"TwoDigitYear20xx", "GBJ 16-07", "GBJ 16-07", "GBJ", "16", "07", 2007,
                   "GBJ 16-07"},
        NumberCase{"ColonBeforeTheYear", "CECS 102:2002", "CECS 102:2002", "CECS", "102", "2002",
                   2002, "CECS 102:2002"},
        NumberCase{"FullWidthColon", Utf8(u8"CECS 102：2002"), "CECS 102:2002", "CECS", "102",
                   "2002", 2002, Utf8(u8"CECS 102：2002")},
        NumberCase{"FiveDigitsAreNoYear", "GB 50016-20145", "GB 50016", "GB", "50016", "", 0,
                   "GB 50016"},
        NumberCase{"YearPast2099", "GB 50016-2100", "GB 50016", "GB", "50016", "", 0, "GB 50016"},
        NumberCase{"YearBefore1950", "GB 50016-1949", "GB 50016", "GB", "50016", "", 0, "GB 50016"},
        NumberCase{"ThreeDigitsAreNoYear", "GB 50016-201", "GB 50016", "GB", "50016", "", 0,
                   "GB 50016"},
        // Code families.
        NumberCase{"GbZ", "GB/Z 17625.3-2000", "GB/Z 17625.3-2000", "GB/Z", "17625.3", "2000", 2000,
                   "GB/Z 17625.3-2000"},
        NumberCase{"Gbz", "GBZ 1-2010", "GBZ 1-2010", "GBZ", "1", "2010", 2010, "GBZ 1-2010"},
        NumberCase{"GbzT", "GBZ/T 229.4-2012", "GBZ/T 229.4-2012", "GBZ/T", "229.4", "2012", 2012,
                   "GBZ/T 229.4-2012"},
        NumberCase{"GjbZ", "GJB/Z 35-93", "GJB/Z 35-93", "GJB/Z", "35", "93", 1993, "GJB/Z 35-93"},
        NumberCase{"Jjf", "JJF 1059.1-2012", "JJF 1059.1-2012", "JJF", "1059.1", "2012", 2012,
                   "JJF 1059.1-2012"},
        NumberCase{"Jjg", "JJG 1036-2008", "JJG 1036-2008", "JJG", "1036", "2008", 2008,
                   "JJG 1036-2008"},
        NumberCase{"JgjT", "JGJ/T 98-2010", "JGJ/T 98-2010", "JGJ/T", "98", "2010", 2010,
                   "JGJ/T 98-2010"},
        NumberCase{"Cjj", "CJJ 1-2008", "CJJ 1-2008", "CJJ", "1", "2008", 2008, "CJJ 1-2008"},
        NumberCase{"JtgLetterSerial", "JTG D60-2015", "JTG D60-2015", "JTG", "D60", "2015", 2015,
                   "JTG D60-2015"},
        NumberCase{"JtgLetterAgainstCode", "JTGD60-2015", "JTG D60-2015", "JTG", "D60", "2015",
                   2015, "JTGD60-2015"},
        NumberCase{"JtgTInnerDash", "JTG/T B07-01-2006", "JTG/T B07-01-2006", "JTG/T", "B07-01",
                   "2006", 2006, "JTG/T B07-01-2006"},
        NumberCase{"JtsPart", "JTS 144-1-2010", "JTS 144-1-2010", "JTS", "144-1", "2010", 2010,
                   "JTS 144-1-2010"},
        NumberCase{"Jtj", "JTJ 041-2000", "JTJ 041-2000", "JTJ", "041", "2000", 2000,
                   "JTJ 041-2000"},
        NumberCase{"IndustryT", "DL/T 5210.1-2012", "DL/T 5210.1-2012", "DL/T", "5210.1", "2012",
                   2012, "DL/T 5210.1-2012"},
        NumberCase{"IndustryBare", "SL 191-2008", "SL 191-2008", "SL", "191", "2008", 2008,
                   "SL 191-2008"},
        NumberCase{"SlashWrittenAsT", "GBT50001-2017", "GB/T 50001-2017", "GB/T", "50001", "2017",
                   2017, "GBT50001-2017"},
        NumberCase{"LocalT", "DB11/T 1234-2015", "DB11/T 1234-2015", "DB11/T", "1234", "2015", 2015,
                   "DB11/T 1234-2015"},
        NumberCase{"LocalMandatorySlash", "DB11/ 687-2015", "DB11/ 687-2015", "DB11/", "687",
                   "2015", 2015, "DB11/ 687-2015"},
        NumberCase{"Local82", "DB82 1-2020", "DB82/ 1-2020", "DB82/", "1", "2020", 2020,
                   "DB82 1-2020"},
        NumberCase{"Dbj", "DBJ 15-31-2016", "DBJ 15-31-2016", "DBJ", "15-31", "2016", 2016,
                   "DBJ 15-31-2016"},
        NumberCase{"DbjT", "DBJ/T 15-101-2014", "DBJ/T 15-101-2014", "DBJ/T", "15-101", "2014",
                   2014, "DBJ/T 15-101-2014"},
        NumberCase{"DbjGroupIsTheYear", "DBJ 08-2018", "DBJ 08-2018", "DBJ", "08", "2018", 2018,
                   "DBJ 08-2018"},
        NumberCase{"DgTj", "DG/TJ 08-11-2018", "DG/TJ 08-11-2018", "DG/TJ", "08-11", "2018", 2018,
                   "DG/TJ 08-11-2018"},
        NumberCase{"Group", "T/CECS 102-2002", "T/CECS 102-2002", "T/CECS", "102", "2002", 2002,
                   "T/CECS 102-2002"},
        NumberCase{"GroupAgainstSerial", "T/CECS102-2002", "T/CECS 102-2002", "T/CECS", "102",
                   "2002", 2002, "T/CECS102-2002"},
        NumberCase{"GroupEndingInDigits", "T/ABC1 23-2015", "T/ABC1 23-2015", "T/ABC1", "23",
                   "2015", 2015, "T/ABC1 23-2015"},
        // Without a year.
        NumberCase{"NoYearGb", "GB 50016", "GB 50016", "GB", "50016", "", 0, "GB 50016"},
        NumberCase{"TwoParts", "GB/T 7714.1.2-2015", "GB/T 7714.1.2-2015", "GB/T", "7714.1.2",
                   "2015", 2015, "GB/T 7714.1.2-2015"},
        NumberCase{"NoYearDottedSerial", "GB/T 15629.11", "GB/T 15629.11", "GB/T", "15629.11", "",
                   0, "GB/T 15629.11"},
        NumberCase{"NoYearThreeDigits", "JGJ 130", "JGJ 130", "JGJ", "130", "", 0, "JGJ 130"},
        NumberCase{"NoYearGroup", "T/CECS 102", "T/CECS 102", "T/CECS", "102", "", 0, "T/CECS 102"},
        NumberCase{"NoYearLocal", "DB11/T 1234", "DB11/T 1234", "DB11/T", "1234", "", 0,
                   "DB11/T 1234"},
        NumberCase{"NoYearDgTjKeepsItsDash", "DG/TJ 08-11", "DG/TJ 08-11", "DG/TJ", "08-11", "", 0,
                   "DG/TJ 08-11"},
        NumberCase{"NoYearEncodingNameWithYear", "GB 18030-2005", "GB 18030-2005", "GB", "18030",
                   "2005", 2005, "GB 18030-2005"}),
    test::CaseName());

// Forms that real documents use beside the clean ones.
INSTANTIATE_TEST_SUITE_P(
    AsWritten, NumberTest,
    ::testing::Values(NumberCase{"RevisionLetter", "GJB 151B-2013", "GJB 151B-2013", "GJB", "151B",
                                 "2013", 2013, "GJB 151B-2013"},
                      NumberCase{"RevisionLetterAfterAPart", "JB/T 4730.3A-2005",
                                 "JB/T 4730.3A-2005", "JB/T", "4730.3A", "2005", 2005,
                                 "JB/T 4730.3A-2005"},
                      NumberCase{"Enterprise", "Q/CSG 1202001-2017", "Q/CSG 1202001-2017", "Q/CSG",
                                 "1202001", "2017", 2017, "Q/CSG 1202001-2017"},
                      NumberCase{"DbjProvince", "DBJ33/T 1309-2023", "DBJ33/T 1309-2023", "DBJ33/T",
                                 "1309", "2023", 2023, "DBJ33/T 1309-2023"},
                      NumberCase{"LocalSpaced", "DB 44/26-2001", "DB44/ 26-2001", "DB44/", "26",
                                 "2001", 2001, "DB 44/26-2001"},
                      NumberCase{"GjbJ", "GJB/J 5553-2006", "GJB/J 5553-2006", "GJB/J", "5553",
                                 "2006", 2006, "GJB/J 5553-2006"},
                      NumberCase{"GbzDotted", "GBZ 2.1", "GBZ 2.1", "GBZ", "2.1", "", 0, "GBZ 2.1"},
                      NumberCase{"SuffixAgainstTheLetter", "JTG/TF50-2011", "JTG/T F50-2011",
                                 "JTG/T", "F50", "2011", 2011, "JTG/TF50-2011"},
                      NumberCase{"LowerCase", "gb/t 4459.5", "GB/T 4459.5", "GB/T", "4459.5", "", 0,
                                 "gb/t 4459.5"},
                      NumberCase{"SpacesForSlashAndDash", "GB T 5080.2 1986", "GB/T 5080.2-1986",
                                 "GB/T", "5080.2", "1986", 1986, "GB T 5080.2 1986"},
                      NumberCase{"SpaceForTheSlash", "DL T5088-1999", "DL/T 5088-1999", "DL/T",
                                 "5088", "1999", 1999, "DL T5088-1999"},
                      NumberCase{"PartAfterASlash", "JTG F80/1-2004", "JTG F80/1-2004", "JTG",
                                 "F80/1", "2004", 2004, "JTG F80/1-2004"},
                      NumberCase{"PartOfALetterSerial", "JTG/T D60-01", "JTG/T D60-01", "JTG/T",
                                 "D60-01", "", 0, "JTG/T D60-01"},
                      NumberCase{"PartOfAJtgSerial", "JTG/T 2231-01", "JTG/T 2231-01", "JTG/T",
                                 "2231-01", "", 0, "JTG/T 2231-01"},
                      NumberCase{"PartAndYear", "JTG/T D60-01-2014", "JTG/T D60-01-2014", "JTG/T",
                                 "D60-01", "2014", 2014, "JTG/T D60-01-2014"},
                      NumberCase{"YearIntoAClause", "GB 50016-20065.3.1", "GB 50016-2006", "GB",
                                 "50016", "2006", 2006, "GB 50016-2006"}),
    test::CaseName());

struct PartsCase {
  const char* name;
  std::string text;
  std::string number;
  std::string title;
  std::string edition;
  std::string amendment;
  std::string note;
  std::string number_as_written;
  std::string written;
};

class PartsTest : public ::testing::TestWithParam<PartsCase> {};

TEST_P(PartsTest, KeepsTitleEditionAmendmentAndNote) {
  const PartsCase& c = GetParam();
  const std::vector<Citation> found = Find(c.text);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].number, c.number);
  EXPECT_EQ(found[0].title, c.title);
  EXPECT_EQ(found[0].edition, c.edition);
  EXPECT_EQ(found[0].amendment, c.amendment);
  EXPECT_EQ(found[0].note, c.note);
  EXPECT_EQ(found[0].number_as_written, c.number_as_written);
  EXPECT_EQ(found[0].written, c.written);
}

const std::string kFireCode = Utf8(u8"建筑设计防火规范");

INSTANTIATE_TEST_SUITE_P(
    Table, PartsTest,
    ::testing::Values(
        PartsCase{"TitleBeforeAndEdition",
                  Utf8(u8"见《建筑设计防火规范》GB 50016-2014（2018年版）。"), "GB 50016-2014",
                  kFireCode, Utf8(u8"2018年版"), "", "", Utf8(u8"GB 50016-2014（2018年版）"),
                  Utf8(u8"《建筑设计防火规范》GB 50016-2014（2018年版）")},
        PartsCase{"TitleBeforeWithSpaces", Utf8(u8"《建筑设计防火规范》 　GB 50016-2014"),
                  "GB 50016-2014", kFireCode, "", "", "", "GB 50016-2014",
                  Utf8(u8"《建筑设计防火规范》 　GB 50016-2014")},
        PartsCase{"TitleAfter", Utf8(u8"GB 50016-2014 《建筑设计防火规范》等"), "GB 50016-2014",
                  kFireCode, "", "", "", "GB 50016-2014",
                  Utf8(u8"GB 50016-2014 《建筑设计防火规范》")},
        PartsCase{"NumberInBracketsAfterTitle",
                  Utf8(u8"《混凝土结构设计规范》（GB 50010-2010（2015年版））"), "GB 50010-2010",
                  Utf8(u8"混凝土结构设计规范"), Utf8(u8"2015年版"), "", "",
                  Utf8(u8"GB 50010-2010（2015年版）"),
                  Utf8(u8"《混凝土结构设计规范》（GB 50010-2010（2015年版））")},
        PartsCase{"UnclosedBracketDropsTheTitle", Utf8(u8"《建筑设计防火规范》（GB 50016-2014，"),
                  "GB 50016-2014", "", "", "", "", "GB 50016-2014", "GB 50016-2014"},
        PartsCase{"EmptyTitleIsNone", Utf8(u8"《》GB 50016-2014"), "GB 50016-2014", "", "", "", "",
                  "GB 50016-2014", "GB 50016-2014"},
        PartsCase{"TitleAcrossALineIsNone", Utf8(u8"《建筑设计\n防火规范》GB 50016-2014"),
                  "GB 50016-2014", "", "", "", "", "GB 50016-2014", "GB 50016-2014"},
        PartsCase{"TitleTooLongIsNone", Utf8(u8"《") + std::string(301, 'x') + Utf8(u8"》GB 50016"),
                  "GB 50016", "", "", "", "", "GB 50016", "GB 50016"},
        PartsCase{"HalfWidthBracketsYearEdition", "GB50011-2010(2016年版)", "GB 50011-2010", "",
                  Utf8(u8"2016年版"), "", "", "GB50011-2010(2016年版)", "GB50011-2010(2016年版)"},
        PartsCase{"EditionWithoutYearSign", "GB 50011-2010 (2016版)", "GB 50011-2010", "",
                  Utf8(u8"2016年版"), "", "", "GB 50011-2010 (2016版)", "GB 50011-2010 (2016版)"},
        PartsCase{"EditionYearOnly", "GB 50011-2010(2016)", "GB 50011-2010", "", Utf8(u8"2016年版"),
                  "", "", "GB 50011-2010(2016)", "GB 50011-2010(2016)"},
        PartsCase{"BracketedWordsAreNoEdition", Utf8(u8"GB 50011-2010(试行)"), "GB 50011-2010", "",
                  "", "", "", "GB 50011-2010", "GB 50011-2010"},
        PartsCase{"Amendment", Utf8(u8"GB 50016-2014/XG1-2018"), "GB 50016-2014", "", "",
                  "XG1-2018", "", "GB 50016-2014/XG1-2018", "GB 50016-2014/XG1-2018"},
        PartsCase{"Note", Utf8(u8"GB 50016-2014 局部修订"), "GB 50016-2014", "", "", "",
                  Utf8(u8"局部修订"), "GB 50016-2014", Utf8(u8"GB 50016-2014 局部修订")},
        PartsCase{"EverythingAfter",
                  Utf8(u8"GB 50016-2014/XG1-2018（2018年版）局部修订《建筑设计防火规范》"),
                  "GB 50016-2014", kFireCode, Utf8(u8"2018年版"), "XG1-2018", Utf8(u8"局部修订"),
                  Utf8(u8"GB 50016-2014/XG1-2018（2018年版）"),
                  Utf8(u8"GB 50016-2014/XG1-2018（2018年版）局部修订《建筑设计防火规范》")},
        PartsCase{"EditionWordsSpaced", Utf8(u8"GB 50010-2010(2018 版本)"), "GB 50010-2010", "",
                  Utf8(u8"2018年版"), "", "", Utf8(u8"GB 50010-2010(2018 版本)"),
                  Utf8(u8"GB 50010-2010(2018 版本)")},
        PartsCase{"RevisedEdition", Utf8(u8"GB 50016-2014（2018年局部修订版）"), "GB 50016-2014",
                  "", Utf8(u8"2018年版"), "", Utf8(u8"局部修订"),
                  Utf8(u8"GB 50016-2014（2018年局部修订版）"),
                  Utf8(u8"GB 50016-2014（2018年局部修订版）")},
        PartsCase{"TraditionalText",
                  Utf8(u8"《砌體結構設計規範》GB 50003-2011（2018年局部修訂版）"), "GB 50003-2011",
                  Utf8(u8"砌體結構設計規範"), Utf8(u8"2018年版"), "", Utf8(u8"局部修订"),
                  Utf8(u8"GB 50003-2011（2018年局部修訂版）"),
                  Utf8(u8"《砌體結構設計規範》GB 50003-2011（2018年局部修訂版）")},
        PartsCase{"TitleOnTheLineBefore", Utf8(u8"《砌体结构设计规范》\nGB 50003-2011"),
                  "GB 50003-2011", Utf8(u8"砌体结构设计规范"), "", "", "", "GB 50003-2011",
                  Utf8(u8"《砌体结构设计规范》\nGB 50003-2011")},
        PartsCase{"TitleInsideTheMarks", Utf8(u8"《GJB 151A-1997军用设备要求》。"), "GJB 151A-1997",
                  Utf8(u8"军用设备要求"), "", "", "", "GJB 151A-1997",
                  Utf8(u8"《GJB 151A-1997军用设备要求》")},
        PartsCase{"EnglishEdition", "GB 50010-2010 (2015 edition)", "GB 50010-2010", "",
                  Utf8(u8"2015年版"), "", "", "GB 50010-2010 (2015 edition)",
                  "GB 50010-2010 (2015 edition)"},
        PartsCase{"EnglishVersion", "GB 50010-2010(2015 Version)", "GB 50010-2010", "",
                  Utf8(u8"2015年版"), "", "", "GB 50010-2010(2015 Version)",
                  "GB 50010-2010(2015 Version)"},
        PartsCase{"EnglishWordsAreNoEdition", "GB 50010-2010 (2015 draft)", "GB 50010-2010", "", "",
                  "", "", "GB 50010-2010", "GB 50010-2010"},
        PartsCase{"InvisibleKeptInsideNotAfter", Utf8(u8"《防火》\u200BGB\u00AD 50016-2014\u200B"),
                  "GB 50016-2014", Utf8(u8"防火"), "", "", "", Utf8(u8"GB\u00AD 50016-2014"),
                  Utf8(u8"《防火》\u200BGB\u00AD 50016-2014")},
        PartsCase{"EditionAfterNoYear", Utf8(u8"GB 50016（2018年版）"), "GB 50016", "",
                  Utf8(u8"2018年版"), "", "", Utf8(u8"GB 50016（2018年版）"),
                  Utf8(u8"GB 50016（2018年版）")}),
    test::CaseName());

struct TextCase {
  const char* name;
  std::string text;
  std::vector<std::string> numbers;
};

class LineTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(LineTest, FindsTheseNumbersInOrder) {
  std::vector<std::string> numbers;
  for (const Citation& c : Find(GetParam().text)) numbers.push_back(c.number);
  EXPECT_EQ(numbers, GetParam().numbers);
}

INSTANTIATE_TEST_SUITE_P(
    LookAlikes, LineTest,
    ::testing::Values(
        TextCase{"Concrete", Utf8(u8"混凝土C30，钢筋HRB400、HPB300，钢材Q235B，砂浆M10"), {}},
        TextCase{"PipeSize", "DN100", {}}, TextCase{"Iso", "ISO 9001:2015", {}},
        TextCase{"Date", Utf8(u8"2014-08-27 2014年8月27日"), {}},
        TextCase{"DrawingNumber", Utf8(u8"详见JS-01、JG-02"), {}},
        TextCase{"Telephone", Utf8(u8"电话：010-12345678，0571-88776655"), {}},
        TextCase{"FontName", Utf8(u8"仿宋_GB2312"), {}},
        TextCase{"EncodingNames", "GB 2312 GB 18030 GB 13000", {}},
        TextCase{"MixedCase", "Gb 50016-2014 gB 50016-2014", {}},
        TextCase{"LetterBefore", "XGB 50016-2014", {}},
        TextCase{"DigitBefore", "1GB 50016-2014", {}},
        TextCase{"SlashBefore", "A/GB 50016-2014", {}},
        TextCase{"DashAfterCode", "GB-50016-2014", {}},
        TextCase{"SixDigitSerial", "GB 500161-2014", {}}, TextCase{"Address", "GB 10.0.0.1", {}},
        TextCase{"WaveDashesMarkRanges",
                 Utf8(u8"GB 50016〜2014 GB 50017〰2017 GB 50018～2018"),
                 {"GB 50016", "GB 50017", "GB 50018"}},
        TextCase{"ProvinceOutOfRange", "DB10/T 1-2015 DB83 1-2015", {}},
        TextCase{"GroupWithoutLetter", "T/12 3-2015", {}},
        TextCase{"GroupOfOneLetter", "T/C 1-2015", {}},
        TextCase{"NoYearTooFewDigits", "GB 12 JGJ 3", {}},
        TextCase{"NoYearIndustry", "SL 191 DL 5009", {}},
        TextCase{"IndustryNotAYear", "SL 191-20145", {}},
        TextCase{"Atlases", Utf8(u8"图集22G101-1、88J1X1，16G101-3"), {}},
        TextCase{"DocumentNumber", Utf8(u8"建质[2007]223号、建标〔2015〕38号"), {}},
        TextCase{"ModelNumbers", Utf8(u8"变压器S13-200/10、SCB13-1000/10，线管SC20、SC25"), {}},
        TextCase{"CodeBeforeADate", "GB 2014-08-27", {}},
        TextCase{"CodeBeforeYears", "MT 2015 2016", {}},
        TextCase{"LocalSerialsAreDigits", "DB11T60-2014", {}},
        TextCase{"SuffixLetterIsNoSerial", "GJBJ0.2-1986", {}},
        // JTG's letter serials count without a year, so the first is JTG D60, with no year.
        TextCase{"TwoDigitsAfterALetterSerialAreNoYear",
                 "JTG D60 - 15 JTG D60-01-15",
                 {"JTG D60", "JTG D60-01"}}),
    test::CaseName());

// Without a year: anywhere for the national and engineering codes; for the others only beside
// a title or in a list of citations.
INSTANTIATE_TEST_SUITE_P(
    Undated, LineTest,
    ::testing::Values(TextCase{"InRunningText",
                               Utf8(u8"按JJG 817检定，JTJ 270及GJB 5313、GBJ 141执行"),
                               {"JJG 817", "JTJ 270", "GJB 5313", "GBJ 141"}},
                      TextCase{"InBracketsAfterATitle",
                               Utf8(u8"《公路桥涵设计通用规范》（JTG D60）、《护栏》(JT/T 391)"),
                               {"JTG D60", "JT/T 391"}},
                      TextCase{"IndustryBesideATitle",
                               Utf8(u8"《钢筋机械连接用套筒》JG/T 163，SL 677《水工》"),
                               {"JG/T 163", "SL 677"}},
                      TextCase{"InAList",
                               Utf8(u8"JTG B01、JTG/T F50；SL 677"),
                               {"JTG B01", "JTG/T F50", "SL 677"}},
                      // A slash's letter marks JT/T 391 as a standard, title or not.
                      TextCase{"BracketsWithoutATitle", "(JT/T 391) (SL 677)", {"JT/T 391"}},
                      TextCase{"GluedIndustryMakesNoList", Utf8(u8"SL 677、SC20"), {}}),
    test::CaseName());

// Lower case, and a space for the slash or the dash, only on one line.
INSTANTIATE_TEST_SUITE_P(
    CaseAndSpaces, LineTest,
    ::testing::Values(
        TextCase{"LowerCase",
                 "gb50096-2011 sl 99-2012 q/csg 1202001-2017",
                 {"GB 50096-2011", "SL 99-2012", "Q/CSG 1202001-2017"}},
        TextCase{"SpaceForTheDash", "JGJ 107 2003", {"JGJ 107-2003"}},
        TextCase{"SpaceBeforeAYearWord", Utf8(u8"JGJ 107 2003年"), {"JGJ 107"}},
        TextCase{"SpaceForTheSlashNeedsAYear", "GB T 50016", {}},
        TextCase{"NotAcrossABreak", "GB T\n5080.2 1986 JGJ 107\n2003 DL\nT5088-1999", {"JGJ 107"}},
        TextCase{"LowerCaseLetterIsAUnit", "SL 191a", {}},
        TextCase{"EnterpriseWithoutAYear", "Q/CSG 1202001", {}},
        TextCase{"LocalWithSpacesOnly", "DB 44 26-2001", {}}),
    test::CaseName());

// Shorthand: the code carried over, ranges, and two numbers glued.
INSTANTIATE_TEST_SUITE_P(
    Shorthand, LineTest,
    ::testing::Values(
        TextCase{"CodeCarriesOver",
                 Utf8(u8"GB 50016-2014、50017-2017"),
                 {"GB 50016-2014", "GB 50017-2017"}},
        TextCase{"YearsAreNoSerials", Utf8(u8"GB 50016-2014、2016-2018年"), {"GB 50016-2014"}},
        TextCase{"NotWithoutASeparator", "GB 50016-2014 50017-2017", {"GB 50016-2014"}},
        TextCase{"Range",
                 "GB 50254~50259-96",
                 {"GB 50254-96", "GB 50255-96", "GB 50256-96", "GB 50257-96", "GB 50258-96",
                  "GB 50259-96"}},
        TextCase{"RangeInWords",
                 Utf8(u8"GB 50254至50256-96，GB 50257－50258-96"),
                 {"GB 50254-96", "GB 50255-96", "GB 50256-96", "GB 50257-96", "GB 50258-96"}},
        TextCase{"RangeTooLong", "GB 50016~50116-2014", {"GB 50016"}},
        TextCase{"DashBeforeAYearIsNoRange", "GB 50016-2014", {"GB 50016-2014"}},
        TextCase{"Glued", "GB50235GB50236", {"GB 50235", "GB 50236"}}),
    test::CaseName());

// A line break joins only inside a number; these stay apart.
INSTANTIATE_TEST_SUITE_P(
    LineBreaks, LineTest,
    ::testing::Values(TextCase{"YearOnTheNextLine", Utf8(u8"GB 50016\n2014 年"), {"GB 50016"}},
                      TextCase{"DashStartsTheNextLine", "GB 50016\n-2014", {"GB 50016"}},
                      TextCase{"BlankLineAfterTheDash", "GB 50016-\n\n2014", {"GB 50016"}},
                      TextCase{"LoneCarriageReturn", "GB 50016-\r2014", {"GB 50016"}},
                      TextCase{"FormFeedEndsThePage", "GB 50016-\f2014", {"GB 50016"}},
                      TextCase{"InsideTheDigits", "GB 500\n16-2014", {"GB 500"}},
                      TextCase{"AfterTheDot", "GB/T 15629.\n11-2008", {"GB/T 15629"}},
                      TextCase{"CodeThenNumberWithoutYear", "2 GB\n500 MB", {}},
                      TextCase{"CodeThenBlankLine", "GB\n\n50016-2014", {}},
                      TextCase{"LocalSlashThenBlankLine", "DB11/\n\n687-2015", {}}),
    test::CaseName());

// Text glued onto a number: before the code (a clause's number, English words, a dot for the
// space) and after the year (the next item's number of a list).
INSTANTIATE_TEST_SUITE_P(
    Glued, LineTest,
    ::testing::Values(
        TextCase{"AfterAClauseNumber", Utf8(u8"2.0.1SL 252适用于"), {"SL 252"}},
        TextCase{"AfterAClauseNumberDated", Utf8(u8"3.2.1GB 50016-2014"), {"GB 50016-2014"}},
        TextCase{"AfterADecimalIsNoClause", Utf8(u8"1.5GB 500-2014，8GB 2133"), {}},
        TextCase{"AfterEnglishWords", "Code for seismic designGB50011-2010", {"GB 50011-2010"}},
        TextCase{"AfterEnglishWordsNeedsAYear", "designGB 50011 and perJGJ 130", {}},
        TextCase{"AfterCapitalsIsNoCode", "XGB50011-2010 ABCGB 50011-2010", {}},
        TextCase{"DotForTheSpace", "JGJ.94-2008", {"JGJ 94-2008"}},
        TextCase{"ItemNumbersAfterTheYears",
                 Utf8(u8"GB50009-20121、《混凝土结构设计规范》GB 50010-20102、"),
                 {"GB 50009-2012", "GB 50010-2010"}},
        TextCase{"ItemNumberOfTwoDigits", Utf8(u8"GB 50016-201412、"), {"GB 50016-2014"}},
        TextCase{"ItemNumberBeforeATitle", Utf8(u8"GB 50016-20143《钢结构》"), {"GB 50016-2014"}},
        TextCase{"ItemNumberIsNoRangeEnd", Utf8(u8"GB 20110-20121、"), {"GB 20110-2012"}},
        TextCase{"ItemNumberOfThreeDigitsIsNone", Utf8(u8"GB 50016-2014123、"), {"GB 50016"}}),
    test::CaseName());

// Spaces where the dashes belong and dashes where the spaces do.
INSTANTIATE_TEST_SUITE_P(
    SpacesAndDashes, LineTest,
    ::testing::Values(TextCase{"SpaceForTheDashOfATwoDigitYear", "GBJ 16 87", {"GBJ 16-87"}},
                      TextCase{"SpaceAfterATwoDigitSerial", "TSG 21 2016", {"TSG 21-2016"}},
                      TextCase{
                          "SpaceAfterATwoDigitSerialThenYears", "JGJ 16 2008", {"JGJ 16-2008"}},
                      TextCase{"DashBeforeALetterSerial", "TSG-D0001-2009", {"TSG D0001-2009"}},
                      TextCase{"DashAfterAThreeLetterCode", "JGJ-94-2008", {"JGJ 94-2008"}},
                      TextCase{"DashWithoutAYear", "JGJ-94", {}},
                      TextCase{"DashAfterATwoLetterCode", "SL-252-2017 JG-02 DL-03", {}}),
    test::CaseName());

// What shows nothing, around or inside a number, is read through; the number's text keeps it.
INSTANTIATE_TEST_SUITE_P(
    Invisible, LineTest,
    ::testing::Values(
        TextCase{"ZeroWidthSpaceAfterTheCode", Utf8(u8"GB\u200B50016-2014"), {"GB 50016-2014"}},
        TextCase{"ZeroWidthJoinerInTheCode", Utf8(u8"G\u200DB 50016-2014"), {"GB 50016-2014"}},
        TextCase{"SoftHyphenInTheSerial", Utf8(u8"GB 500\u00AD16-2014"), {"GB 50016-2014"}},
        TextCase{"ByteOrderMarksAround",
                 Utf8(u8"\uFEFFGB/T 50001-2017\uFEFF、\uFEFFJGJ 3-2010"),
                 {"GB/T 50001-2017", "JGJ 3-2010"}},
        TextCase{"WordJoinerInTheYear", Utf8(u8"GB 50016-20\u206014"), {"GB 50016-2014"}},
        TextCase{"ListThroughAZeroWidthSpace",
                 Utf8(u8"GB 50016-2014、\u200B50017-2017"),
                 {"GB 50016-2014", "GB 50017-2017"}},
        TextCase{"InvisibleIsNoBoundary", Utf8(u8"X\u200BGB 50016-2014"), {}}),
    test::CaseName());

// English text citing Chinese standards, as bilingual reference lists do.
INSTANTIATE_TEST_SUITE_P(
    English, LineTest,
    ::testing::Values(
        TextCase{"ReferenceList",
                 "[1] GB 50009-2012 Load code for the design of building structures\n"
                 "[2] Code for design of concrete structures (GB50010-2010)\n"
                 "3. JGJ 79-2012, Technical code for ground treatment of buildings;",
                 {"GB 50009-2012", "GB 50010-2010", "JGJ 79-2012"}},
        TextCase{"WithoutYears",
                 "According to GB 50016 and DL/T 5044, NB/T 47013.3, the welds shall be tested.",
                 {"GB 50016", "DL/T 5044", "NB/T 47013.3"}},
        TextCase{"LookAlikes",
                 "IEEE 802.3, ISO 9001:2015, ASTM A36, EN 1992-1-1, BS 8110, API 650, "
                 "hardness HB 200, drawing No. DL-01, sheet 3 of 12, iPhone 12, mySQL 5000",
                 {}}),
    test::CaseName());

// Numbers without a year: every family beside a title, in a list or with a citing word; an
// industry code with its slash's letter anywhere.
INSTANTIATE_TEST_SUITE_P(
    UndatedFamilies, LineTest,
    ::testing::Values(
        TextCase{"SlashLetterInRunningText", Utf8(u8"应符合DL/T 5044的规定"), {"DL/T 5044"}},
        TextCase{"SlashLetterWithoutACitingWord",
                 Utf8(u8"执行JT/T 391规定，另见NB/T 10096.2"),
                 {"JT/T 391", "NB/T 10096.2"}},
        TextCase{
            "CitingWordBefore", Utf8(u8"按SL 191执行；依据DL 5009.1施工"), {"SL 191", "DL 5009.1"}},
        TextCase{"CitingWordAfter", Utf8(u8"SL 252适用于，SL 677第3.1.2条"), {"SL 252", "SL 677"}},
        TextCase{"CitingWordNeedsThreeDigits", Utf8(u8"按SL 14执行"), {}},
        TextCase{"CitingWordNotForAGluedNumber", Utf8(u8"按SC200执行"), {}},
        TextCase{"LetterSerialsInRunningText",
                 Utf8(u8"参考JTG/T F50及TSG D0001，见JTG D60"),
                 {"JTG/T F50", "TSG D0001", "JTG D60"}},
        TextCase{"EnterpriseBesideATitle",
                 Utf8(u8"《电力安全工作规程》Q/GDW 1799.1"),
                 {"Q/GDW 1799.1"}}),
    test::CaseName());

// More look-alikes: pressure pipes' classes, chainages, clause runs, a bare GBT, cables, conduits
// and memory sizes.
INSTANTIATE_TEST_SUITE_P(
    MoreLookAlikes, LineTest,
    ::testing::Values(TextCase{"PipeClasses", Utf8(u8"GB类管道（GB1、GB2级）及GC2级工业管道"), {}},
                      TextCase{"PipeClassAfterACitation",
                               Utf8(u8"《工业金属管道》GB 50235-2010、GB1级管道"),
                               {"GB 50235-2010"}},
                      TextCase{
                          "Chainages", Utf8(u8"桩号K12+300至K12+450，匝道YK3+020～ZK3+100"), {}},
                      TextCase{"ClauseRuns", Utf8(u8"见第3.2.1~3.2.5条及第4.1.1～4.1.3条"), {}},
                      TextCase{"BareGbt", Utf8(u8"按GBT标准绘制，GBT.pdf"), {}},
                      TextCase{"Cables", Utf8(u8"电缆YJV22-8.7/15kV-3×240，线管KBG20、JDG25"), {}},
                      TextCase{"MemorySizes", Utf8(u8"内存16GB 2133，硬盘2TB"), {}},
                      TextCase{"Serials", Utf8(u8"编号2023-SY-015，批号SL-2015-03"), {}}),
    test::CaseName());

// Unicode's hyphens and dashes and the minus sign; the wave dashes stand for ranges instead.
TEST(FindCitations, EveryDashSeparatesTheYear) {
  for (const char32_t dash :
       {U'-',      U'\u058A', U'\u05BE', U'\u1400',    U'\u1806', U'\u2010', U'\u2011',
        U'\u2012', U'\u2013', U'\u2014', U'\u2015',    U'\u2212', U'\u2E17', U'\u2E1A',
        U'\u2E3A', U'\u2E3B', U'\u2E40', U'\u2E5D',    U'\u30A0', U'\uFE31', U'\uFE32',
        U'\uFE58', U'\uFE63', U'\uFF0D', U'\U00010EAD'}) {
    std::string text = "GB 50016";
    AppendUtf8(text, dash);
    text += "2014";
    const std::vector<Citation> found = Find(text);
    ASSERT_EQ(found.size(), 1u) << "U+" << std::hex << static_cast<unsigned>(dash);
    EXPECT_EQ(found[0].number, "GB 50016-2014") << "U+" << std::hex << static_cast<unsigned>(dash);
    EXPECT_EQ(found[0].written, text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    SeveralOnOneLine, LineTest,
    ::testing::Values(
        TextCase{"ChineseSeparators",
                 Utf8(u8"GB 50016-2014、GB 50017-2017，JGJ 3-2010；CJJ 1-2008"),
                 {"GB 50016-2014", "GB 50017-2017", "JGJ 3-2010", "CJJ 1-2008"}},
        TextCase{"AsciiSeparatorsAndSpaces",
                 "GB 50016-2014,GB 50017-2017;JGJ 3-2010  CJJ 1-2008",
                 {"GB 50016-2014", "GB 50017-2017", "JGJ 3-2010", "CJJ 1-2008"}},
        TextCase{"TitlesEach",
                 Utf8(u8"《建筑设计防火规范》GB 50016-2014、《钢结构设计标准》GB 50017-2017"),
                 {"GB 50016-2014", "GB 50017-2017"}},
        TextCase{"TitleAfterEach",
                 Utf8(u8"GB 50016-2014《防火》GB 50017-2017《钢结构》"),
                 {"GB 50016-2014", "GB 50017-2017"}},
        TextCase{"InProse",
                 Utf8(u8"本工程依据GB50011-2010(2016年版)设计，混凝土C30，"
                      u8"地基按GB 50007－2011，荷载按GB 50009-2012 建筑结构荷载规范。"),
                 {"GB 50011-2010", "GB 50007-2011", "GB 50009-2012"}}),
    test::CaseName());

// Positions and written text where a citation shares the text with others.
TEST(FindCitations, PositionsPointIntoTheInput) {
  const std::string text =
      Utf8(u8"依据《钢结构设计标准》GB 50017-2017，GB/T 50001—2017《房屋建筑制图统一标准》。");
  const std::vector<Citation> found = Find(text);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].begin, 6u);
  EXPECT_EQ(found[0].end, 6u + 3 + 21 + 3 + 13);
  EXPECT_EQ(found[0].title, Utf8(u8"钢结构设计标准"));
  EXPECT_EQ(found[1].begin, found[0].end + 3);
  EXPECT_EQ(found[1].end, text.size() - 3);
  EXPECT_EQ(found[1].number_as_written, Utf8(u8"GB/T 50001—2017"));
  EXPECT_EQ(found[1].title, Utf8(u8"房屋建筑制图统一标准"));
}

// A title already taken by the citation before is not the next one's.
TEST(FindCitations, ATitleBelongsToOneCitation) {
  const std::vector<Citation> found = Find(Utf8(u8"GB 50016-2014《防火》GB 50017-2017"));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].title, Utf8(u8"防火"));
  EXPECT_EQ(found[1].title, "");
  EXPECT_EQ(found[1].written, "GB 50017-2017");
}

struct InvalidCase {
  const char* name;
  std::string text;
  std::vector<std::string> written;
};

class InvalidUtf8Test : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(InvalidUtf8Test, NeverMatches) {
  std::vector<std::string> written;
  for (const Citation& c : Find(GetParam().text)) written.push_back(c.written);
  EXPECT_EQ(written, GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InvalidUtf8Test,
    ::testing::Values(InvalidCase{"AroundACitation", "\xFFGB 50016-2014\xFF", {"GB 50016-2014"}},
                      InvalidCase{"CutCharacterBefore", "\xE3\x80GB 50016-2014", {"GB 50016-2014"}},
                      InvalidCase{"InsideTheNumber",
                                  "GB\xFF"
                                  "50016-2014 GB 5\x80"
                                  "0016-2014",
                                  {}},
                      InvalidCase{"OverlongSpace",
                                  "GB\xC0\xA0"
                                  "50016-2014",
                                  {}},
                      InvalidCase{"SurrogateAsDash",
                                  "GB 50016\xED\xA0\x80"
                                  "2014",
                                  {"GB 50016"}},
                      InvalidCase{"CutFullWidthHyphenAtTheEnd", "GB 50016\xEF\xBC", {"GB 50016"}},
                      InvalidCase{"InsideTheTitle",
                                  Utf8(u8"GB 50016-2014《建筑") + "\xFF" + Utf8(u8"》"),
                                  {"GB 50016-2014"}},
                      InvalidCase{"CutCharacterEndsTheTitle",
                                  Utf8(u8"《建筑") + "\xE8\xAE" + Utf8(u8"》GB 50016"),
                                  {"GB 50016"}},
                      InvalidCase{"ZeroBytes",
                                  std::string("GB 50016-2014\0GB 50017-2017", 27),
                                  {"GB 50016-2014", "GB 50017-2017"}}),
    test::CaseName());

struct YearCase {
  const char* name;
  std::string year;
  int full_year;
};

class FullYearTest : public ::testing::TestWithParam<YearCase> {};

TEST_P(FullYearTest, ExpandsTheYear) { EXPECT_EQ(FullYear(GetParam().year), GetParam().full_year); }

INSTANTIATE_TEST_SUITE_P(
    Table, FullYearTest,
    ::testing::Values(YearCase{"Four", "2014", 2014}, YearCase{"First", "1950", 1950},
                      YearCase{"Last", "2099", 2099}, YearCase{"TooEarly", "1949", 0},
                      YearCase{"TooLate", "2100", 0}, YearCase{"TwoFromFifty", "50", 1950},
                      YearCase{"TwoNinetyFive", "95", 1995}, YearCase{"TwoBelowFifty", "49", 2049},
                      YearCase{"TwoZeroSeven", "07", 2007}, YearCase{"One", "7", 0},
                      YearCase{"Three", "201", 0}, YearCase{"Five", "20145", 0},
                      YearCase{"Empty", "", 0}, YearCase{"Letter", "20a4", 0},
                      YearCase{"Sign", "-95", 0}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
