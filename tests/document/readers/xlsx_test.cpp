#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/document.h"
#include "document/readers/pieces.h"
#include "support/named_case.h"
#include "support/office_builder.h"

namespace kelvaro {
namespace {

using test::FormulaStringCell;
using test::InlineCell;
using test::NumberCell;
using test::SharedCell;
using test::SheetContent;
using test::SheetRow;

struct XlsxCase {
  std::string name;
  std::vector<SheetContent> sheets;
  std::vector<std::string> shared;
  std::string expected;
};
KELVARO_PRINT_CASES_BY_NAME()

class XlsxTest : public testing::TestWithParam<XlsxCase> {};

TEST_P(XlsxTest, GivesTheCellsWithTextSheetBySheetRowByRow) {
  EXPECT_EQ(test::Read(test::BuildXlsx(GetParam().sheets, GetParam().shared), DocumentKind::kXlsx),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, XlsxTest,
    testing::Values(
        XlsxCase{"EveryKindOfText",
                 {{"设计依据", SheetRow(1, InlineCell("A1", "标准")) +
                                   SheetRow(5, NumberCell("B5", "50016") + SharedCell("C5", 0) +
                                                   FormulaStringCell("D5", "A1&\"x\"", "标准x") +
                                                   "<c r=\"E5\" t=\"b\"><v>1</v></c>"
                                                   "<c r=\"F5\" t=\"e\"><v>#N/A</v></c>" +
                                                   SharedCell("G5", 1))}},
                 {"GB 50016-2014", "50016"},
                 "设计依据!A1=标准;设计依据!C5=GB 50016-2014;设计依据!D5=标准x;设计依据!G5=50016;"},
        XlsxCase{"CellsInRowOrderWhateverTheFileOrder",
                 {{"S", SheetRow(3, InlineCell("B3", "b3") + InlineCell("A3", "a3")) +
                            SheetRow(2, InlineCell("AA2", "aa2"))}},
                 {},
                 "S!AA2=aa2;S!A3=a3;S!B3=b3;"},
        XlsxCase{"SameCellTwiceKeepsTheFileOrder",
                 {{"S", SheetRow(1, InlineCell("C1", "c") + InlineCell("A1", "a") +
                                        InlineCell("B1", "b") + InlineCell("A1", "d"))}},
                 {},
                 "S!A1=a;S!A1=d;S!B1=b;S!C1=c;"},
        XlsxCase{"SheetsInWorkbookOrder",
                 {{"第二", SheetRow(1, InlineCell("A1", "x"))},
                  {"第一", SheetRow(1, InlineCell("A1", "y"))}},
                 {},
                 "第二!A1=x;第一!A1=y;"},
        XlsxCase{"SheetsNamedAlikeToldApartAsExcelNamesCopies",
                 {{"S", SheetRow(2, InlineCell("A2", "x"))},
                  {"S", SheetRow(1, InlineCell("A1", "y"))},
                  {"S (2)", SheetRow(1, InlineCell("A1", "z"))}},
                 {},
                 "S!A2=x;S (2)!A1=y;S (2) (2)!A1=z;"},
        XlsxCase{"CellsWithoutReferencesFollowTheirNeighbours",
                 {{"S",
                   "<row r=\"4\"><c t=\"inlineStr\"><is><t>a</t></is></c>"
                   "<c t=\"inlineStr\"><is><t>b</t></is></c></row>"
                   "<row><c t=\"inlineStr\"><is><t>c</t></is></c></row>"}},
                 {},
                 "S!A4=a;S!B4=b;S!A5=c;"},
        XlsxCase{"EscapedCharactersAndEmptyOrMissingStrings",
                 {{"S", SheetRow(1, SharedCell("A1", 0) + SharedCell("B1", 1) +
                                        SharedCell("C1", 7) + InlineCell("D1", "x_x005F_x0041_"))}},
                 {"a_x000D_b", ""},
                 "S!A1=a\rb;S!D1=x_x0041_;"}),
    test::CaseName());

TEST(XlsxRichTextTest, RunsJoinedAndPhoneticGuidesLeftOut) {
  test::ZipBuilder zip =
      test::XlsxArchive({{"S", SheetRow(1, SharedCell("A1", 0) + InlineCell("B1", ""))}}, {"x"});
  for (test::ZipEntry& e : zip.Entries()) {
    if (e.name == "xl/sharedStrings.xml") {
      e.data =
          "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si>"
          "<r><t>GB 500</t></r><r><rPr><b/></rPr><t>16-2014</t></r>"
          "<rPh sb=\"0\" eb=\"1\"><t>guide</t></rPh><phoneticPr fontId=\"1\"/></si></sst>";
    }
    if (e.name == "xl/worksheets/sheet1.xml") {
      const std::size_t at = e.data.find("<c r=\"B1\"");
      e.data.replace(at, e.data.find("</row>") - at,
                     "<c r=\"B1\" t=\"inlineStr\"><is><r><t>in</t></r><r><t>line</t></r></is></c>");
    }
  }
  EXPECT_EQ(test::Read(test::AsBytes(zip.Build()), DocumentKind::kXlsx),
            "S!A1=GB 50016-2014;S!B1=inline;");
}

TEST(XlsxReadOnceTest, AWorksheetNamedByTwentyThousandSheetsIsReadOnce) {
  test::ZipBuilder zip = test::XlsxArchive({{"S0", SheetRow(1, InlineCell("A1", "GB 1"))}}, {});
  for (test::ZipEntry& e : zip.Entries()) {
    if (e.name != "xl/workbook.xml") continue;
    std::string sheets;
    for (int i = 0; i < 20000; ++i) {
      sheets += "<sheet name=\"S" + std::to_string(i) + "\" sheetId=\"" + std::to_string(i + 1) +
                "\" r:id=\"rId1\"/>";
    }
    const std::size_t at = e.data.find("<sheets>") + 8;
    e.data.replace(at, e.data.find("</sheets>") - at, sheets);
  }
  EXPECT_EQ(test::Read(test::AsBytes(zip.Build()), DocumentKind::kXlsx), "S0!A1=GB 1;");
}

}  // namespace
}  // namespace kelvaro
