// PDF pages through poppler, from PDFs written out in the test (Linux only).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/pieces.h"
#include "document/reasons.h"
#include "support/zip_builder.h"

namespace kelvaro {
namespace {

// A PDF of one page per entry, each line of ASCII text in Helvetica below the one before,
// with a cross-reference table of the true offsets. `encrypt` adds a standard security
// handler whose user password is not empty.
std::string MakePdf(const std::vector<std::vector<std::string>>& pages, bool encrypt = false) {
  std::vector<std::string> objects;  // object n is objects[n - 1]
  const int page_count = static_cast<int>(pages.size());
  std::string kids;
  for (int i = 0; i < page_count; ++i) kids += std::to_string(4 + 2 * i) + " 0 R ";
  objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
  objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(page_count) +
                    " >>");
  objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  for (int i = 0; i < page_count; ++i) {
    std::string content;
    int y = 700;
    for (const std::string& line : pages[static_cast<std::size_t>(i)]) {
      content += "BT /F1 18 Tf 72 " + std::to_string(y) + " Td (" + line + ") Tj ET\n";
      y -= 40;
    }
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " +
                      std::to_string(5 + 2 * i) + " 0 R /Resources << /Font << /F1 3 0 R >> >> >>");
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                      "endstream");
  }
  std::string trailer_extra;
  if (encrypt) {
    objects.push_back("<< /Filter /Standard /V 1 /R 2 /O <" + std::string(64, 'A') + "> /U <" +
                      std::string(64, 'B') + "> /P -4 >>");
    trailer_extra = " /Encrypt " + std::to_string(objects.size()) + " 0 R /ID [<" +
                    std::string(32, '1') + "> <" + std::string(32, '1') + ">]";
  }
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    std::string number = std::to_string(offset);
    pdf += std::string(10 - number.size(), '0') + number + " 00000 n \n";
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R" +
         trailer_extra + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

struct PdfCase {
  std::string name;
  std::function<std::string()> pdf;
  std::string expected;
};

class PdfTest : public testing::TestWithParam<PdfCase> {};

TEST_P(PdfTest, GivesPagesInReadingOrderOrTheReason) {
  EXPECT_EQ(test::Read(test::AsBytes(GetParam().pdf()), DocumentKind::kPdf), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PdfTest,
    testing::Values(
        PdfCase{"OnePage", [] { return MakePdf({{"GB 50016-2014"}}); }, "第 1 页=GB 50016-2014;"},
        PdfCase{"LinesTopDownEmptyPageCounted",
                [] {
                  return MakePdf({{"GB 50016-2014", "GB/T 50001-2017"}, {}, {"page three"}});
                },
                "第 1 页=GB 50016-2014\nGB/T 50001-2017;第 3 页=page three;"},
        PdfCase{"Encrypted", [] { return MakePdf({{"secret"}}, true); },
                "error: " + std::string(reason::kEncrypted)},
        PdfCase{"NotAPdf", [] { return std::string("GB 50016-2014\n"); },
                "error: " + std::string(reason::kNotPdf)},
        PdfCase{"WordFileNamedPdf", [] { return std::string("PK\x03\x04 not a pdf"); },
                "error: " + std::string(reason::kNotPdf)},
        PdfCase{"Damaged", [] { return std::string("%PDF-1.4\n1 0 obj << garbage\n"); },
                "error: " + std::string(reason::kDamaged)}),
    [](const testing::TestParamInfo<PdfCase>& info) { return info.param.name; });

}  // namespace
}  // namespace kelvaro
