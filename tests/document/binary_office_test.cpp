// Files named .doc, .xls or .wps are read as what they are, or refused; never as lines of
// whatever bytes they hold.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "document/document.h"
#include "document/pieces.h"
#include "document/reasons.h"
#include "support/binary_office_builder.h"
#include "support/office_builder.h"

namespace kelvaro {
namespace {

struct NamedCase {
  std::string name;
  DocumentKind kind;
  std::function<Bytes()> bytes;
  std::string expected;
};
void PrintTo(const NamedCase& c, std::ostream* os) { *os << c.name; }

class MisnamedFileTest : public testing::TestWithParam<NamedCase> {};

TEST_P(MisnamedFileTest, IsReadAsWhatItIs) {
  EXPECT_EQ(test::Read(GetParam().bytes(), GetParam().kind), GetParam().expected);
}

std::string Refused(const char* reason) { return std::string("error: ") + reason; }

Bytes Compound(std::vector<test::CompoundStream> streams) {
  return test::BuildCompound(streams).AsBytes();
}

Bytes Word() {
  test::WordFile f;
  f.body = u"GB 50016-2014\r";
  return test::BuildWord(f);
}

Bytes Workbook() {
  return test::BuildXls(
      test::SstRecords({u"GB 1"}),
      {{u"S", test::BiffRecord(0x00FD, test::XlsCell(0, 0) + std::string(4, '\0'))}});
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MisnamedFileTest,
    testing::Values(
        NamedCase{"DocxNamedDoc", DocumentKind::kDoc,
                  [] { return test::BuildDocx(test::WordParagraph("GB 1")); }, "第 1 段=GB 1;"},
        NamedCase{"XlsxNamedXls", DocumentKind::kXls,
                  [] {
                    return test::BuildXlsx({{"S", test::InlineCell("A1", "GB 2")}}, {});
                  },
                  "S!A1=GB 2;"},
        NamedCase{"DocxNamedWps", DocumentKind::kWps,
                  [] { return test::BuildDocx(test::WordParagraph("GB 3")); }, "第 1 段=GB 3;"},
        NamedCase{"WordNamedXls", DocumentKind::kXls, Word, "第 1 段=GB 50016-2014;"},
        NamedCase{"WorkbookNamedDoc", DocumentKind::kDoc, Workbook, "S!A1=GB 1;"},
        NamedCase{"WpsInWordFormat", DocumentKind::kWps, Word, "第 1 段=GB 50016-2014;"},
        NamedCase{"TabSeparatedTextNamedXls", DocumentKind::kXls,
                  [] { return test::AsBytes("序号\tGB 1\r\n\r\n2\tGB 2"); },
                  "第 1 行=序号\tGB 1;第 3 行=2\tGB 2;"},
        NamedCase{"Utf16TextNamedDoc", DocumentKind::kDoc,
                  [] { return test::AsBytes(std::string("\xFF\xFEG\0B\0 \0001\0", 10)); },
                  "第 1 行=GB 1;"},
        NamedCase{"EmptyFile", DocumentKind::kDoc, [] { return Bytes(); }, ""},
        NamedCase{"HtmlNamedXls", DocumentKind::kXls,
                  [] { return test::AsBytes("\xEF\xBB\xBF\r\n<html><td>GB 1</td></html>"); },
                  Refused(reason::kNotWordOrExcel)},
        NamedCase{"Utf16HtmlNamedXls", DocumentKind::kXls,
                  [] { return test::AsBytes(std::string("\xFF\xFE<\0h\0", 6)); },
                  Refused(reason::kNotWordOrExcel)},
        NamedCase{"RtfNamedDoc", DocumentKind::kDoc,
                  [] { return test::AsBytes("{\\rtf1\\ansi GB 1\\par}"); },
                  Refused(reason::kNotWordOrExcel)},
        NamedCase{"BinaryJunk", DocumentKind::kXls,
                  [] { return test::AsBytes(std::string("\x01\x02GB 1\x00\x7F", 8)); },
                  Refused(reason::kNotWordOrExcel)},
        NamedCase{"ZipOfNeither", DocumentKind::kDoc,
                  [] { return test::AsBytes(test::ZipBuilder().Add("a.txt", "GB 1").Build()); },
                  Refused(reason::kNotWordOrExcel)},
        NamedCase{"CompoundOfNeither", DocumentKind::kXls,
                  [] {
                    return Compound({{"CONTENTS", "GB 1"}});
                  },
                  Refused(reason::kNotWordOrExcel)},
        NamedCase{"WpsOfAnotherFormat", DocumentKind::kWps,
                  [] {
                    return Compound({{"CONTENTS", "GB 1"}});
                  },
                  Refused(reason::kWps)},
        NamedCase{"WpsWordDocumentNotInWordFormat", DocumentKind::kWps,
                  [] {
                    return Compound({{"WordDocument", std::string(1024, 'w')}});
                  },
                  Refused(reason::kWps)},
        NamedCase{"WorkbookNamedWps", DocumentKind::kWps, Workbook, Refused(reason::kWps)},
        NamedCase{"EncryptedPackage", DocumentKind::kDoc,
                  [] {
                    return Compound({{"EncryptionInfo", "x"}, {"EncryptedPackage", "y"}});
                  },
                  Refused(reason::kEncrypted)}),
    [](const testing::TestParamInfo<NamedCase>& info) { return info.param.name; });

}  // namespace
}  // namespace kelvaro
