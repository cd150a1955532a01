// The PDF reader of our own against poppler on every sample: the same pages, the same text
// but for white space, and the same citations in it (Linux, where poppler is built in).
#include <gtest/gtest.h>

#if KELVARO_WITH_POPPLER
#include <string>
#include <vector>

#include "citation/citation.h"
#include "document/pdf/pdf.h"
#include "document/pdf/reader.h"
#include "support/pdf_samples.h"
#include "support/zip_builder.h"

namespace kelvaro {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f'; }

// Runs of white space as one space, none at the ends.
std::string Normal(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsSpace(text[i])) {
      if (!out.empty() && out.back() != ' ') out += ' ';
      continue;
    }
    out += text[i];
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::vector<std::string> Numbers(const std::string& text) {
  std::vector<std::string> out;
  for (const Citation& c : FindCitations(Normal(text))) out.push_back(c.number + " " + c.edition);
  return out;
}

class PopplerDifferentialTest : public testing::TestWithParam<test::PdfSample> {};

TEST_P(PopplerDifferentialTest, SamePagesTextAndCitations) {
  if (!GetParam().poppler_cannot.empty()) GTEST_SKIP() << GetParam().poppler_cannot;
  const Bytes bytes = test::AsBytes(GetParam().pdf);
  std::vector<PdfPage> ours;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(ReadPdfText(bytes, ours, error)) << DocumentErrorWords(error);
  std::vector<std::string> theirs;
  ASSERT_TRUE(ReadPdfPages(bytes, theirs, error)) << DocumentErrorWords(error);
  ASSERT_EQ(ours.size(), theirs.size());
  for (std::size_t i = 0; i < ours.size(); ++i) {
    if (GetParam().poppler_text_differs.empty()) {
      EXPECT_EQ(Normal(ours[i].Text()), Normal(theirs[i])) << "page " << i + 1;
    } else {
      EXPECT_NE(Normal(ours[i].Text()), Normal(theirs[i])) << GetParam().poppler_text_differs;
    }
    EXPECT_EQ(Numbers(ours[i].Text()), Numbers(theirs[i])) << "page " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, PopplerDifferentialTest, testing::ValuesIn(test::PdfSamples()),
                         [](const testing::TestParamInfo<test::PdfSample>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace kelvaro
#endif
