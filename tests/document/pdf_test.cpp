// PDF pages through ReadDocument, from PDFs written out in the test: poppler reads them on
// Linux, the reader of our own on Windows.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/errors.h"
#include "document/pieces.h"
#include "support/named_case.h"
#include "support/office_builder.h"
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
                "第 1 页=GB 50016-2014;"},
        PdfCase{"LinesTopDownEmptyPageCounted",
                [] {
                  return test::BuildPdf({{"GB 50016-2014", "GB/T 50001-2017"}, {}, {"page three"}});
                },
                "第 1 页=GB 50016-2014\nGB/T 50001-2017;第 3 页=page three;"},
        // Poppler's text joins a line ending in "-" to the next; the page keeps both.
        PdfCase{"CitationsWrappedAtLineEnds",
                [] {
                  return test::BuildPdf({{"Design to GB 50010-", "2010 and GB/T",
                                          "50001-2017; JTS 144 -", "1-2010."}});
                },
                "第 1 页=Design to GB 50010-\n2010 and GB/T\n50001-2017; JTS 144 -\n1-2010.;"},
        PdfCase{"Encrypted", [] { return test::BuildPdf({{"secret"}}, true); },
                "error: " + std::string(DocumentErrorWords(DocumentError::kEncrypted))},
        PdfCase{"NotAPdf", [] { return std::string("GB 50016-2014\n"); },
                "error: " + std::string(DocumentErrorWords(DocumentError::kNotPdf))},
        PdfCase{"WordFileNamedPdf", [] { return std::string("PK\x03\x04 not a pdf"); },
                "error: " + std::string(DocumentErrorWords(DocumentError::kNotPdf))},
        PdfCase{"Damaged", [] { return std::string("%PDF-1.4\n1 0 obj << garbage\n"); },
                "error: " + std::string(DocumentErrorWords(DocumentError::kDamaged))}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
