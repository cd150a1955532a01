// Compound files named .doc, .xls or .wps are read by the streams they hold, or refused.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "document/document.h"
#include "document/errors.h"
#include "document/readers/pieces.h"
#include "support/binary_office_builder.h"
#include "support/named_case.h"

namespace kelvaro {
namespace {

KELVARO_PRINT_CASES_BY_NAME()

struct NamedCase {
  std::string name;
  DocumentKind kind;
  std::function<Bytes()> bytes;
  std::string expected;
};

class CompoundFileNameTest : public testing::TestWithParam<NamedCase> {};

TEST_P(CompoundFileNameTest, IsReadAsWhatItIs) {
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
    Kinds, CompoundFileNameTest,
    testing::Values(
        NamedCase{"WordNamedXls", DocumentKind::kXls, Word, "第 1 段=GB 50016-2014;"},
        NamedCase{"WorkbookNamedDoc", DocumentKind::kDoc, Workbook, "S!A1=GB 1;"},
        NamedCase{"WpsInWordFormat", DocumentKind::kWps, Word, "第 1 段=GB 50016-2014;"},
        NamedCase{"CompoundOfNeither", DocumentKind::kXls,
                  [] {
                    return Compound({{"CONTENTS", "GB 1"}});
                  },
                  Refused(DocumentErrorWords(DocumentError::kNotWordOrExcel))},
        NamedCase{"WpsOfAnotherFormat", DocumentKind::kWps,
                  [] {
                    return Compound({{"CONTENTS", "GB 1"}});
                  },
                  Refused(DocumentErrorWords(DocumentError::kWps))},
        NamedCase{"WpsWordDocumentNotInWordFormat", DocumentKind::kWps,
                  [] {
                    return Compound({{"WordDocument", std::string(1024, 'w')}});
                  },
                  Refused(DocumentErrorWords(DocumentError::kWps))},
        NamedCase{"WorkbookNamedWps", DocumentKind::kWps, Workbook,
                  Refused(DocumentErrorWords(DocumentError::kWps))},
        NamedCase{"EncryptedPackage", DocumentKind::kDoc,
                  [] {
                    return Compound({{"EncryptionInfo", "x"}, {"EncryptedPackage", "y"}});
                  },
                  Refused(DocumentErrorWords(DocumentError::kEncrypted))}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
