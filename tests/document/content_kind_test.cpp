// What a file's bytes are read as when its name says text or an old Office kind.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "document/document.h"
#include "document/reasons.h"
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
void PrintTo(const ContentCase& c, std::ostream* os) { *os << c.name; }

class KindOfContentTest : public testing::TestWithParam<ContentCase> {};

TEST_P(KindOfContentTest, ReadsWhatTheBytesAreOrSaysWhyNot) {
  DocumentKind kind = GetParam().named;
  std::string error;
  EXPECT_EQ(KindOfContent(test::AsBytes(GetParam().bytes), kind, error), GetParam().reason.empty());
  EXPECT_EQ(error, GetParam().reason);
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
        ContentCase{"ZeroByte", kCsv, std::string("a,\0", 3), kText, reason::kNotText},
        ContentCase{"WordInTxt", kText, CompoundFile("WordDocument"), kDoc, ""},
        ContentCase{"ExcelInTxt", kText, CompoundFile("Workbook"), kXls, ""},
        ContentCase{"PowerPointInTxt", kText, CompoundFile("PowerPoint Document"), kText,
                    reason::kOldPowerPoint},
        ContentCase{"EncryptedDocxInTxt", kText, CompoundFile("EncryptedPackage"), kText,
                    reason::kEncrypted},
        ContentCase{"OtherCompoundFile", kText, CompoundFile("Contents"), kText, reason::kNotText},
        // Under an old Office name the compound file's readers say what it holds.
        ContentCase{"CompoundFileKeepsItsName", kWps, CompoundFile("Contents"), kWps, ""},
        ContentCase{"PowerPointByItsName", kPpt, CompoundFile("PowerPoint Document"), kText,
                    reason::kOldPowerPoint},
        ContentCase{"XlsBinaryByItsName", kXls, std::string(2, '\0'), kText,
                    reason::kNotWordOrExcel},
        ContentCase{"WpsBinaryByItsName", kWps, std::string(2, '\0'), kText, reason::kWps},
        ContentCase{"HtmlNamedXls", kXls, "\xEF\xBB\xBF\r\n<html><td>GB 1</td></html>", kText,
                    reason::kNotWordOrExcel},
        ContentCase{"Utf16HtmlNamedXls", kXls, std::string("\xFF\xFE \0<\0h\0", 8), kText,
                    reason::kNotWordOrExcel},
        ContentCase{"RtfNamedDoc", kDoc, "{\\rtf1\\ansi GB 1\\par}", kText,
                    reason::kNotWordOrExcel},
        ContentCase{"HtmlInTxtIsText", kText, "<p>GB 1</p>", kText, ""},
        ContentCase{"DocxInTxt", kText, DocxBytes(), kDocx, ""},
        ContentCase{"DocxNamedDoc", kDoc, DocxBytes(), kDocx, ""},
        ContentCase{
            "XlsxInCsv", kCsv,
            AsString(test::BuildXlsx({{"S", test::SheetRow(1, test::InlineCell("A1", "x"))}}, {})),
            kXlsx, ""},
        ContentCase{"OtherZip", kText, test::ZipBuilder().Add("a.txt", "GB 1-2010").Build(), kText,
                    reason::kNotText},
        ContentCase{"OtherZipNamedDoc", kDoc, test::ZipBuilder().Add("a.txt", "GB 1").Build(),
                    kText, reason::kNotWordOrExcel},
        ContentCase{"PdfInTxt", kText, "%PDF-1.4\n", kPdf, ""},
        // A name of a kind we read is believed: its reader says what is wrong.
        ContentCase{"DocxNameKept", kDocx, CompoundFile("WordDocument"), kDocx, ""}),
    [](const testing::TestParamInfo<ContentCase>& info) { return info.param.name; });

TEST(ReadDocumentOfContent, ATxtHoldingADocxGivesItsParagraphs) {
  std::vector<TextPiece> pieces;
  std::string error;
  ASSERT_TRUE(ReadDocument(test::AsBytes(DocxBytes()), kText, pieces, error)) << error;
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].location.kind, Location::Kind::kParagraph);
}

}  // namespace
}  // namespace kelvaro
