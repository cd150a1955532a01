// PDF pages through ReadDocument, from PDFs written out in the test: poppler reads them on
// Linux, the reader of our own on Windows.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "document/errors.h"
#include "document/readers/pieces.h"
#include "document/readers/read_document.h"
#include "support/named_case.h"
#include "support/office_builder.h"
#include "support/pdf_samples.h"
#include "support/zip_builder.h"

namespace kelvaro {
namespace {

struct PdfCase {
  std::string name;
  std::function<std::string()> pdf;
  std::string expected;
};
KELVARO_PRINT_CASES_BY_NAME()

class PdfTest : public testing::TestWithParam<PdfCase> {};

TEST_P(PdfTest, GivesPagesInReadingOrderOrTheReason) {
  EXPECT_EQ(test::Read(test::AsBytes(GetParam().pdf()), DocumentKind::kPdf), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PdfTest,
    testing::Values(
        PdfCase{"OnePage", [] { return test::BuildPdf({{"GB 50016-2014"}}); },
                "第 1 页第 1 行=GB 50016-2014;"},
        PdfCase{"LinesTopDownEmptyPageCounted",
                [] {
                  return test::BuildPdf({{"GB 50016-2014", "GB/T 50001-2017"}, {}, {"page three"}});
                },
                "第 1 页第 1 行=GB 50016-2014\nGB/T 50001-2017;第 3 页第 1 行=page three;"},
        // A line ending in "-" is not joined to the next.
        PdfCase{
            "CitationsWrappedAtLineEnds",
            [] {
              return test::BuildPdf(
                  {{"Design to GB 50010-", "2010 and GB/T", "50001-2017; JTS 144 -", "1-2010."}});
            },
            "第 1 页第 1 行=Design to GB 50010-\n2010 and GB/T\n50001-2017; JTS 144 -\n1-2010.;"},
        PdfCase{"Encrypted", [] { return test::BuildPdf({{"secret"}}, true); },
                "error: " + std::string(DocumentErrorWords(DocumentError::kEncrypted))},
        PdfCase{"NotAPdf", [] { return std::string("GB 50016-2014\n"); },
                "error: " + std::string(DocumentErrorWords(DocumentError::kNotPdf))},
        PdfCase{"WordFileNamedPdf", [] { return std::string("PK\x03\x04 not a pdf"); },
                "error: " + std::string(DocumentErrorWords(DocumentError::kNotPdf))},
        PdfCase{"Damaged", [] { return std::string("%PDF-1.4\n1 0 obj << garbage\n"); },
                "error: " + std::string(DocumentErrorWords(DocumentError::kDamaged))}),
    test::CaseName());

// Pages of a body line each under a first line and above a last one.
std::string Framed(const std::vector<std::string>& tops, const std::vector<std::string>& bottoms) {
  std::vector<std::vector<std::string>> pages;
  for (std::size_t i = 0; i < tops.size(); ++i) {
    pages.push_back({tops[i], std::string(1, static_cast<char>('A' + i)) + " body", bottoms[i]});
  }
  return test::BuildPdf(pages);
}

INSTANTIATE_TEST_SUITE_P(
    RunningLines, PdfTest,
    testing::Values(
        PdfCase{"HeaderOnEveryPageOnce",
                [] {
                  return test::BuildPdf({{"Notes GB 50016-2014", "one"},
                                         {"Notes GB 50016-2014", "two"},
                                         {"Notes GB 50016-2014", "three"}});
                },
                "页眉=Notes GB 50016-2014;第 1 页第 2 行=one;第 2 页第 2 行=two;"
                "第 3 页第 2 行=three;"},
        PdfCase{"HeaderOnThreePagesOfFour",
                [] {
                  return test::BuildPdf(
                      {{"Cover GB 1-2010"}, {"Head", "two"}, {"Head", "three"}, {"Head", "four"}});
                },
                "第 1 页第 1 行=Cover GB 1-2010;页眉=Head;第 2 页第 2 行=two;第 3 页第 2 行=three;"
                "第 4 页第 2 行=four;"},
        PdfCase{"HeaderOnHalfThePagesStaysOnEach",
                [] {
                  return test::BuildPdf(
                      {{"Head", "one"}, {"Head", "two"}, {"Head", "three"}, {"x"}, {"y"}, {"z"}});
                },
                "第 1 页第 1 行=Head\none;第 2 页第 1 行=Head\ntwo;第 3 页第 1 行=Head\nthree;"
                "第 4 页第 1 行=x;第 5 页第 1 行=y;第 6 页第 1 行=z;"},
        PdfCase{"LineOnTwoPagesOnlyStaysOnEach",
                [] {
                  return test::BuildPdf({{"Head", "one"}, {"Head", "two"}});
                },
                "第 1 页第 1 行=Head\none;第 2 页第 1 行=Head\ntwo;"},
        PdfCase{"FooterWithPageNumbersAndTwoLineHeader",
                [] {
                  return test::BuildPdf({{"Project", "GB 50016-2014", "one", "Page 1 of 3"},
                                         {"Project", "GB 50016-2014", "two", "Page 2 of 3"},
                                         {"Project", "GB 50016-2014", "three", "Page 3 of 3"}});
                },
                "页眉=Project\nGB 50016-2014;第 1 页第 3 行=one;页脚=Page 1 of 3;"
                "第 2 页第 3 行=two;第 3 页第 3 行=three;"},
        PdfCase{"TwoNumbersChangingIsNoFooter",
                [] {
                  return Framed({"a", "b", "c"},
                                {"GB 50016-2014 p1", "GB 50017-2017 p2", "GB 50018-2018 p3"});
                },
                "第 1 页第 1 行=a\nA body\nGB 50016-2014 p1;第 2 页第 1 行=b\nB body\n"
                "GB 50017-2017 p2;第 3 页第 1 行=c\nC body\nGB 50018-2018 p3;"},
        PdfCase{"HeaderAndFooterOfOneLineEach",
                [] {
                  return Framed({"Top", "Top", "Top"}, {"p. 7", "p. 8", "p. 9"});
                },
                "页眉=Top;第 1 页第 2 行=A body;页脚=p. 7;第 2 页第 2 行=B body;"
                "第 3 页第 2 行=C body;"},
        PdfCase{
            "CitationWrappedInAThreeLineHeader",
            [] {
              std::vector<std::vector<std::string>> pages;
              for (const char* body : {"one", "two", "three"}) {
                pages.push_back({"Project", "Notes", "drawn to GB/T", "50105-2010 rules", body});
              }
              return test::BuildPdf(pages);
            },
            "页眉=Project\nNotes\ndrawn to GB/T\n50105-2010 rules;第 1 页第 5 行=one;"
            "第 2 页第 5 行=two;第 3 页第 5 行=three;"},
        PdfCase{"WrapWithoutACitationStaysTwoLines",
                [] {
                  std::vector<std::vector<std::string>> pages;
                  for (const char* body : {"one", "two", "three"}) {
                    pages.push_back({"Project", "Notes", "Sheet A", "2 of the set", body});
                  }
                  return test::BuildPdf(pages);
                },
                "页眉=Project\nNotes\nSheet A;第 1 页第 4 行=2 of the set\none;"
                "第 2 页第 4 行=2 of the set\ntwo;第 3 页第 4 行=2 of the set\nthree;"}),
    test::CaseName());

// The place of the text at a needle: the line of the page it begins on, true to the page
// under a running header.
struct LineCase {
  std::string name;
  std::vector<std::vector<std::string>> pages;
  std::string needle;
  std::string where;
  std::string pdf = {};  // drawn otherwise than a line under another; `pages` unused
};

class PdfLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(PdfLineTest, GivesThePageAndLineWhereTextBegins) {
  std::vector<TextPiece> pieces;
  DocumentError error = DocumentError::kNone;
  const std::string pdf =
      GetParam().pdf.empty() ? test::BuildPdf(GetParam().pages) : GetParam().pdf;
  ASSERT_TRUE(ReadDocument(test::AsBytes(pdf), DocumentKind::kPdf, pieces, error));
  std::string where;
  for (const TextPiece& piece : pieces) {
    const std::size_t at = piece.text.find(GetParam().needle);
    if (at != std::string::npos) where += LocationWords(LocationAt(piece, at)) + ";";
  }
  EXPECT_EQ(where, GetParam().where);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PdfLineTest,
    testing::Values(
        LineCase{"FirstLine", {{"GB 1-2010", "b"}}, "GB 1", "第 1 页第 1 行;"},
        LineCase{
            "ThirdLineOfSecondPage", {{"a"}, {"a", "b", "GB 1-2010"}}, "GB 1", "第 2 页第 3 行;"},
        LineCase{"WrappedBeginsOnItsFirstLine",
                 {{"a", "see GB 50010-", "2010 too"}},
                 "GB 50010-\n2010",
                 "第 1 页第 2 行;"},
        LineCase{"UnderARunningHeader",
                 {{"Head", "a"}, {"Head", "a", "b", "GB 1-2010"}, {"Head", "c"}},
                 "GB 1",
                 "第 2 页第 4 行;"},
        LineCase{"BelowAWrappedRunningHeader",
                 {{"Head GB/T", "50001-2017", "a", "GB 1-2010"},
                  {"Head GB/T", "50001-2017", "b"},
                  {"Head GB/T", "50001-2017", "c"}},
                 "GB 1",
                 "第 1 页第 4 行;"},
        LineCase{"InTheRunningHeader",
                 {{"GB 1-2010", "a"}, {"GB 1-2010", "b"}, {"GB 1-2010"}},
                 "GB 1",
                 "页眉;"},
        LineCase{"TableRowIsOneLine", {}, "GB 50010", "第 1 页第 6 行;", test::TablePdf()}),
    test::CaseName());

// A page whose forms fan out past the bound (forms each drawing the next ten times, six deep,
// showing nothing: cheap for either engine) is cut short and named in a note; the pages
// around it are read.
TEST(PdfCutShortTest, OtherPagesReadAndTheNoteNamesThePageCutShort) {
  const std::string pdf =
      test::FormFanOutPdf(10, 6,
                          {"BT /F1 12 Tf 72 700 Td (GB 50016-2014) Tj ET", "/Top Do",
                           "BT /F1 12 Tf 72 700 Td (GB 50009-2012) Tj ET"},
                          false);
  std::vector<TextPiece> pieces;
  std::vector<std::string> notes{"left over"};
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(ReadDocument(test::AsBytes(pdf), DocumentKind::kPdf, pieces, error, {}, &notes))
      << DocumentErrorWords(error);
  EXPECT_EQ(test::Describe(pieces), "第 1 页第 1 行=GB 50016-2014;第 3 页第 1 行=GB 50009-2012;");
  EXPECT_EQ(notes, std::vector<std::string>{"第 2 页的图形嵌套过多，未能读完"});
}

}  // namespace
}  // namespace kelvaro
