// Excel 97-2003 (BIFF8): the text cells of each worksheet, on workbooks built here and on one
// LibreOffice saved.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "document/errors.h"
#include "document/readers/pieces.h"
#include "document/readers/read_document.h"
#include "support/binary_office_builder.h"
#include "support/named_case.h"

namespace kelvaro {
namespace {

KELVARO_PRINT_CASES_BY_NAME()

using test::BiffRecord;
using test::XlsCell;
using test::XlsSheet;
using test::XlsString;

std::string U16(std::uint16_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string U32(std::uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }

std::string LabelSst(std::uint16_t row, std::uint16_t column, std::uint32_t index) {
  return BiffRecord(0x00FD, XlsCell(row, column) + U32(index));
}

// A FORMULA record whose cached value says the result is a string (or a number).
std::string Formula(std::uint16_t row, std::uint16_t column, bool string_result) {
  const std::string value = string_result ? std::string("\0\0\0\0\0\0\xFF\xFF", 8)
                                          : std::string("\0\0\0\0\0\0\xF0\x3F", 8);
  return BiffRecord(0x0006, XlsCell(row, column) + value + std::string(6, '\0') + U16(0));
}

struct XlsCase {
  std::string name;
  std::string globals;
  std::vector<XlsSheet> sheets;
  std::string expected;
};

class XlsTest : public testing::TestWithParam<XlsCase> {};

TEST_P(XlsTest, GivesTheTextCellsBySheetAndRow) {
  EXPECT_EQ(test::Read(test::BuildXls(GetParam().globals, GetParam().sheets), DocumentKind::kXls),
            GetParam().expected);
}

// Rich runs and phonetic data after the characters, as a string of the SST holds them.
std::string RichPhoneticString() {
  return U16(4) + '\x0C' + U16(2) + U32(6) + "GB 1" + std::string(8, 'r') + std::string(6, 'p');
}

INSTANTIATE_TEST_SUITE_P(
    Cells, XlsTest,
    testing::Values(
        XlsCase{"SharedStringsByRowThenColumn",
                test::SstRecords({u"待查标准编号", u"GB 50016-2014", u"unused"}),
                {{u"设计依据", LabelSst(1, 1, 1) + LabelSst(0, 1, 0) + LabelSst(1, 0, 9)}},
                "设计依据!B1=待查标准编号;设计依据!B2=GB 50016-2014;"},
        XlsCase{"StringsAcrossContinueRecordsSwitchWidth",
                test::SstRecords({u"GB 50016-2014 建筑设计防火规范", u"JGJ 3-2010 résumé",
                                  u"标准 standard"},
                                 21),
                {{u"S", LabelSst(0, 0, 0) + LabelSst(1, 0, 1) + LabelSst(2, 0, 2)}},
                "S!A1=GB 50016-2014 建筑设计防火规范;S!A2=JGJ 3-2010 résumé;S!A3=标准 standard;"},
        XlsCase{"RichTextAndPhoneticRunsSkipped",
                BiffRecord(0x00FC, U32(2) + U32(2) + RichPhoneticString() + U16(1) + '\0' + "x"),
                {{u"S", LabelSst(0, 0, 0) + LabelSst(0, 1, 1)}},
                "S!A1=GB 1;S!B1=x;"},
        XlsCase{"LabelAndRichStringRecords",
                "",
                {{u"S", BiffRecord(0x0204, XlsCell(0, 0) + XlsString(u"标签 GB 2")) +
                            BiffRecord(0x00D6,
                                       XlsCell(0, 2) + XlsString(u"rich GB 3") + U16(1) + U32(0))}},
                "S!A1=标签 GB 2;S!C1=rich GB 3;"},
        XlsCase{"FormulaStringResultFromTheStringRecord",
                "",
                {{u"S", Formula(4, 2, true) + BiffRecord(0x04BC, "shared") +
                            BiffRecord(0x0207, XlsString(u"GB 50352-2019")) + Formula(5, 2, false) +
                            Formula(6, 2, true) + LabelSst(7, 0, 0) +
                            BiffRecord(0x0207, XlsString(u"stray"))}},
                "S!C5=GB 50352-2019;"},
        XlsCase{"CountsThatLieAndRecordsCutShort",
                BiffRecord(0x00FC, U32(0xFFFFFFFF) + U32(0xFFFFFFFF) + U16(4) + '\0' + "GB 1" +
                                       U16(60000) + '\0' + "cut"),
                {{u"S", LabelSst(0, 0, 0) + LabelSst(0, 1, 1) + BiffRecord(0x00FD, "\0\0") +
                            BiffRecord(0x0204, XlsCell(1, 0) + U16(60000) + '\0' + "cut")}},
                "S!A1=GB 1;"},
        XlsCase{"NumbersAreNoText",
                "",
                {{u"S", BiffRecord(0x0203, XlsCell(0, 0) + std::string(8, '\0')) +
                            BiffRecord(0x027E, XlsCell(0, 1) + U32(0x3FF00000))}},
                ""},
        XlsCase{"SheetsInOrderChartsLeftOut",
                test::SstRecords({u"a", u"b"}),
                {{u"Résumé", LabelSst(0, 0, 0)},
                 {u"图表", LabelSst(0, 0, 1), 2},
                 {u"第二页", LabelSst(2, 27, 1)}},
                "Résumé!A1=a;第二页!AB3=b;"},
        XlsCase{"SheetsNamedAlikeToldApart",
                test::SstRecords({u"a", u"b"}),
                {{u"", LabelSst(3, 0, 0)}, {u"", LabelSst(0, 0, 1)}},
                "!A4=a; (2)!A1=b;"},
        XlsCase{"PasswordProtected",
                BiffRecord(0x002F, U16(1) + std::string(52, '\0')),
                {{u"S", ""}},
                std::string("error: ") + DocumentErrorWords(DocumentError::kEncrypted)}),
    test::CaseName());

struct StreamCase {
  std::string name;
  std::string stream_name;
  std::string stream;
  std::string expected;
};

class XlsStreamTest : public testing::TestWithParam<StreamCase> {};

TEST_P(XlsStreamTest, ReadsOrRefusesTheWorkbookStream) {
  const Bytes file = test::BuildCompound({{GetParam().stream_name, GetParam().stream}}).AsBytes();
  EXPECT_EQ(test::Read(file, DocumentKind::kXls), GetParam().expected);
}

std::string OneCell() {
  return test::WorkbookStream(test::SstRecords({u"GB 1"}), {{u"S", LabelSst(0, 0, 0)}});
}

INSTANTIATE_TEST_SUITE_P(
    Streams, XlsStreamTest,
    testing::Values(
        StreamCase{"BookStream", "Book", OneCell(), "S!A1=GB 1;"},
        StreamCase{"Excel95", "Book", test::WorkbookStream("", {{u"S", ""}}, 0x0500),
                   std::string("error: ") + DocumentErrorWords(DocumentError::kExcel95)},
        StreamCase{"NoBof", "Workbook", BiffRecord(0x0042, U16(936)),
                   std::string("error: ") + DocumentErrorWords(DocumentError::kDamaged)},
        StreamCase{"SheetsSharingASubstreamReadOnce", "Workbook",
                   [] {
                     std::string s = test::WorkbookStream(
                         test::SstRecords({u"GB 1"}),
                         {{u"S", LabelSst(0, 0, 0)}, {u"T", LabelSst(1, 0, 0)}});
                     const std::size_t first = s.find(std::string("\x85\x00", 2));
                     const std::size_t second = s.find(std::string("\x85\x00", 2), first + 4);
                     s.replace(second + 4, 4, s.substr(first + 4, 4));
                     return s;
                   }(),
                   "S!A1=GB 1;"},
        StreamCase{"SheetOffsetPastTheStream", "Workbook",
                   [] {
                     std::string s = OneCell();
                     // The BOUNDSHEET8 record follows BOF (20 bytes) and the SST.
                     const std::size_t at = s.find(std::string("\x85\x00", 2));
                     s.replace(at + 4, 4, U32(1u << 30));
                     return s;
                   }(),
                   std::string("error: ") + DocumentErrorWords(DocumentError::kDamaged)}),
    test::CaseName());

Bytes ReadFixture(const std::string& name) {
  std::ifstream in(std::string(KELVARO_TEST_DATA_DIR) + "/binary_office/" + name, std::ios::binary);
  const std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Bytes(s.begin(), s.end());
}

// LibreOffice's .xls of the list reads as its .xlsx does: 600 rows of shared strings that
// run across CONTINUE records, a second sheet, numbers left out.
TEST(XlsFixtureTest, ReadsAsTheSameListSavedAsXlsx) {
  std::vector<TextPiece> xls, xlsx;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(ReadDocument(ReadFixture("standards_list.xls"), DocumentKind::kXls, xls, error))
      << DocumentErrorWords(error);
  ASSERT_TRUE(ReadDocument(ReadFixture("standards_list.xlsx"), DocumentKind::kXlsx, xlsx, error))
      << DocumentErrorWords(error);
  EXPECT_EQ(xls.size(), 3u + 600 * 2 + 3);
  EXPECT_EQ(test::Describe(xls), test::Describe(xlsx));
}

}  // namespace
}  // namespace kelvaro
