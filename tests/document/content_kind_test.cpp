// What a file's bytes are read as when its name says text or an old Office kind.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "document/document.h"
#include "document/reasons.h"
#include "support/office_builder.h"

namespace kelvaro {
namespace {

// An OLE2 compound file with one directory entry named `stream`, as Office writes it.
Bytes CompoundFile(const std::string& stream) {
  std::string ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  ole += std::string(504, '\0');
  for (const char c : stream) {
    ole += c;
    ole += '\0';
  }
  return test::AsBytes(ole + std::string(512, '\0'));
}

Bytes Docx() { return test::BuildDocx(test::WordParagraph("GB 50016-2014")); }
Bytes Xlsx() {
  return test::BuildXlsx({{"S", test::SheetRow(1, test::InlineCell("A1", "GB 1-2010"))}}, {});
}

struct ContentCase {
  std::string name;
  DocumentKind named;
  std::function<Bytes()> bytes;
  DocumentKind read_as;  // when read
  std::string reason;    // when refused
};
void PrintTo(const ContentCase& c, std::ostream* os) { *os << c.name; }

class KindOfContentTest : public testing::TestWithParam<ContentCase> {};

TEST_P(KindOfContentTest, ReadsWhatTheBytesAreOrSaysWhyNot) {
  DocumentKind kind = GetParam().named;
  std::string error;
  const bool read = KindOfContent(GetParam().bytes(), kind, error);
  if (GetParam().reason.empty()) {
    EXPECT_TRUE(read) << error;
    EXPECT_EQ(kind, GetParam().read_as);
  } else {
    EXPECT_FALSE(read);
    EXPECT_EQ(error, GetParam().reason);
  }
}

constexpr DocumentKind kText = DocumentKind::kText;
Bytes Text(const std::string& s) { return test::AsBytes(s); }

INSTANTIATE_TEST_SUITE_P(
    Cases, KindOfContentTest,
    testing::Values(
        ContentCase{"TextStaysText", kText, [] { return Text("GB 1-2010\n"); }, kText, ""},
        ContentCase{"TextNamedDocIsText", DocumentKind::kDoc, [] { return Text("GB 1-2010"); },
                    kText, ""},
        ContentCase{"Utf16WithItsZeroBytes", kText,
                    [] { return Text(std::string("\xFF\xFEG\0", 4)); }, kText, ""},
        ContentCase{"ZeroByte", kText, [] { return Text(std::string("GB 1\0", 5)); }, kText,
                    reason::kNotText},
        ContentCase{"ZeroByteInCsv", DocumentKind::kCsv,
                    [] { return Text(std::string("a,\0", 3)); }, kText, reason::kNotText},
        ContentCase{"ZeroByteNamedDoc", DocumentKind::kDoc,
                    [] { return Text(std::string("\0\0", 2)); }, kText, reason::kOldWord},
        ContentCase{"WordInTxt", kText, [] { return CompoundFile("WordDocument"); }, kText,
                    reason::kOldWord},
        ContentCase{"ExcelWithoutName", kText, [] { return CompoundFile("Workbook"); }, kText,
                    reason::kOldExcel},
        ContentCase{"Excel95", kText, [] { return CompoundFile("Book"); }, kText,
                    reason::kOldExcel},
        ContentCase{"PowerPointInTxt", kText, [] { return CompoundFile("PowerPoint Document"); },
                    kText, reason::kOldPowerPoint},
        ContentCase{"EncryptedPackageInTxt", kText, [] { return CompoundFile("EncryptedPackage"); },
                    kText, reason::kEncrypted},
        ContentCase{"OtherCompoundFile", kText, [] { return CompoundFile("Contents"); }, kText,
                    reason::kNotText},
        ContentCase{"Doc", DocumentKind::kDoc, [] { return CompoundFile("WordDocument"); }, kText,
                    reason::kOldWord},
        ContentCase{"Xls", DocumentKind::kXls, [] { return CompoundFile("Workbook"); }, kText,
                    reason::kOldExcel},
        ContentCase{"WpsByItsName", DocumentKind::kWps, [] { return CompoundFile("WordDocument"); },
                    kText, reason::kOldWps},
        ContentCase{"Ppt", DocumentKind::kPpt, [] { return CompoundFile("PowerPoint Document"); },
                    kText, reason::kOldPowerPoint},
        ContentCase{"DocxInTxt", kText, Docx, DocumentKind::kDocx, ""},
        ContentCase{"XlsxInCsv", DocumentKind::kCsv, Xlsx, DocumentKind::kXlsx, ""},
        ContentCase{"DocxNamedDoc", DocumentKind::kDoc, Docx, DocumentKind::kDocx, ""},
        ContentCase{"OtherZip", kText,
                    [] { return Text(test::ZipBuilder().Add("a.txt", "GB 1-2010").Build()); },
                    kText, reason::kNotText},
        ContentCase{"PdfInTxt", kText, [] { return Text("%PDF-1.4\n"); }, DocumentKind::kPdf, ""},
        // A name of a kind we read is believed: its reader says what is wrong.
        ContentCase{"DocxNameKept", DocumentKind::kDocx,
                    [] { return CompoundFile("WordDocument"); }, DocumentKind::kDocx, ""},
        ContentCase{"PdfNameKept", DocumentKind::kPdf, [] { return Text(std::string("\0", 1)); },
                    DocumentKind::kPdf, ""}),
    [](const testing::TestParamInfo<ContentCase>& info) { return info.param.name; });

TEST(ReadDocumentOfContent, ATxtHoldingADocxGivesItsParagraphs) {
  std::vector<TextPiece> pieces;
  std::string error;
  ASSERT_TRUE(ReadDocument(Docx(), DocumentKind::kText, pieces, error)) << error;
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].text, "GB 50016-2014");
  EXPECT_EQ(pieces[0].location.kind, Location::Kind::kParagraph);
}

}  // namespace
}  // namespace kelvaro
