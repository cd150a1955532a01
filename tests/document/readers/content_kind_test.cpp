// What a file's bytes are read as when its name says text or an old Office kind, and the names
// the import offers.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "document/errors.h"
#include "document/readers/read_document.h"
#include "support/named_case.h"
#include "support/office_builder.h"

namespace kelvaro {
namespace {

// An OLE2 compound file with one directory entry named `stream`, as Office writes it.
std::string CompoundFile(const std::string& stream) {
  std::string ole = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(504, '\0');
  for (const char c : stream) ole += std::string{c, '\0'};
  return ole + std::string(512, '\0');
}
std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

struct ContentCase {
  std::string name;
  DocumentKind named;
  std::string bytes;
  DocumentKind read_as;  // when read
  std::string reason;    // when refused
};
KELVARO_PRINT_CASES_BY_NAME()

class KindOfContentTest : public testing::TestWithParam<ContentCase> {};

TEST_P(KindOfContentTest, ReadsWhatTheBytesAreOrSaysWhyNot) {
  DocumentKind kind = GetParam().named;
  DocumentError error = DocumentError::kNone;
  EXPECT_EQ(KindOfContent(test::AsBytes(GetParam().bytes), kind, error), GetParam().reason.empty());
  EXPECT_EQ(DocumentErrorWords(error), GetParam().reason);
  if (GetParam().reason.empty()) {
    EXPECT_EQ(kind, GetParam().read_as);
  }
}

using enum DocumentKind;
std::string DocxBytes() { return AsString(test::BuildDocx(test::WordParagraph("GB 1-2010"))); }

INSTANTIATE_TEST_SUITE_P(
    Cases, KindOfContentTest,
    testing::Values(
        ContentCase{"Text", kText, "GB 1-2010\n", kText, ""},
        ContentCase{"TextNamedDoc", kDoc, "GB 1-2010", kText, ""},
        ContentCase{"Utf16WithItsZeroBytes", kText, std::string("\xFF\xFEG\0", 4), kText, ""},
        ContentCase{"StrayZeroByteInText", kCsv, std::string("GB 1,\0,GB 2\r\n", 12), kCsv,
                    ""},
        ContentCase{"Utf16WithoutMark", kText, std::string("G\0B\0 \0\x31\0", 8), kText, ""},
        ContentCase{"ZerosEverywhereIsBinary", kCsv, std::string("a\0\0\0\x01\0\0\x02\0\0\0\0", 12),
                    kText, DocumentErrorWords(DocumentError::kNotText)},
        ContentCase{"WordInTxt", kText, CompoundFile("WordDocument"), kDoc, ""},
        ContentCase{"ExcelInTxt", kText, CompoundFile("Workbook"), kXls, ""},
        ContentCase{"PowerPointInTxt", kText, CompoundFile("PowerPoint Document"), kText,
                    DocumentErrorWords(DocumentError::kOldPowerPoint)},
        ContentCase{"EncryptedDocxInTxt", kText, CompoundFile("EncryptedPackage"), kText,
                    DocumentErrorWords(DocumentError::kEncrypted)},
        ContentCase{"OtherCompoundFile", kText, CompoundFile("Contents"), kText,
                    DocumentErrorWords(DocumentError::kNotText)},
        // Under an old Office name the compound file's readers say what it holds.
        ContentCase{"CompoundFileKeepsItsName", kWps, CompoundFile("Contents"), kWps, ""},
        ContentCase{"PowerPointByItsName", kPpt, CompoundFile("PowerPoint Document"), kText,
                    DocumentErrorWords(DocumentError::kOldPowerPoint)},
        ContentCase{"XlsBinaryByItsName", kXls, std::string(2, '\0'), kText,
                    DocumentErrorWords(DocumentError::kNotWordOrExcel)},
        ContentCase{"WpsBinaryByItsName", kWps, std::string(2, '\0'), kText,
                    DocumentErrorWords(DocumentError::kWps)},
        ContentCase{"HtmlNamedXls", kXls, "\xEF\xBB\xBF\r\n<html><td>GB 1</td></html>", kText,
                    DocumentErrorWords(DocumentError::kNotWordOrExcel)},
        ContentCase{"Utf16HtmlNamedXls", kXls, std::string("\xFF\xFE \0<\0h\0", 8), kText,
                    DocumentErrorWords(DocumentError::kNotWordOrExcel)},
        ContentCase{"RtfNamedDoc", kDoc, "{\\rtf1\\ansi GB 1\\par}", kText,
                    DocumentErrorWords(DocumentError::kNotWordOrExcel)},
        ContentCase{"HtmlInTxtIsText", kText, "<p>GB 1</p>", kText, ""},
        ContentCase{"DocxInTxt", kText, DocxBytes(), kDocx, ""},
        ContentCase{"DocxNamedDoc", kDoc, DocxBytes(), kDocx, ""},
        ContentCase{
            "XlsxInCsv", kCsv,
            AsString(test::BuildXlsx({{"S", test::SheetRow(1, test::InlineCell("A1", "x"))}}, {})),
            kXlsx, ""},
        ContentCase{"OtherZip", kText, test::ZipBuilder().Add("a.txt", "GB 1-2010").Build(), kText,
                    DocumentErrorWords(DocumentError::kNotText)},
        ContentCase{"OtherZipNamedDoc", kDoc, test::ZipBuilder().Add("a.txt", "GB 1").Build(),
                    kText, DocumentErrorWords(DocumentError::kNotWordOrExcel)},
        ContentCase{"PdfInTxt", kText, "%PDF-1.4\n", kPdf, ""},
        // A Word or Excel 97-2003 file renamed .docx or .xlsx is read for what it is.
        ContentCase{"DocNamedDocx", kDocx, CompoundFile("WordDocument"), kDoc, ""},
        ContentCase{"XlsNamedXlsx", kXlsx, CompoundFile("Workbook"), kXls, ""},
        // Otherwise a name of a kind we read is believed: its reader says what is wrong.
        ContentCase{"DocxNameKept", kDocx, CompoundFile("Contents"), kDocx, ""},
        ContentCase{"DocxNameKeptForText", kDocx, "GB 1-2010", kDocx, ""}),
    test::CaseName());

TEST(ReadDocumentOfContent, ATxtHoldingADocxGivesItsParagraphs) {
  std::vector<TextPiece> pieces;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(ReadDocument(test::AsBytes(DocxBytes()), kText, pieces, error))
      << DocumentErrorWords(error);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].location.kind, Location::Kind::kParagraph);
}

TEST(OfferedKindsTest, KindsOfOneNameAreOfferedTogether) {
  std::string offered;
  for (const OfferedKind& kind : OfferedKinds()) offered += kind.label + ": " + kind.patterns + ";";
  EXPECT_EQ(offered,
            "文本文件: *.txt;Word 文档: *.docx *.doc *.wps;Excel 工作簿: *.xlsx *.xls;"
            "CSV 文件: *.csv;PDF 文件: *.pdf;");
}

}  // namespace
}  // namespace kelvaro
