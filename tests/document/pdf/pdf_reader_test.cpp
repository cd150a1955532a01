// The PDF reader of our own: the known text of each sample, lines with their places, and
// files it refuses or reads within its limits.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "document/errors.h"
#include "document/pdf/reader.h"
#include "support/pdf_builder.h"
#include "support/pdf_samples.h"
#include "support/zip_builder.h"

namespace kelvaro {
namespace {

using test::PdfWriter;

// Each page's text, joined by "|", then "; cut short: <pages>" for pages cut short, or
// "error: <reason>" (then no page may be left).
std::string Read(const std::string& pdf, const PdfLimits& limits = {}) {
  std::vector<PdfPage> pages(1);
  std::vector<int> cut_short{99};                 // left over
  DocumentError error = DocumentError::kNotText;  // left over
  const Bytes bytes = test::AsBytes(pdf);
  if (!ReadPdfText(bytes, pages, error, limits, &cut_short)) {
    const std::string words = DocumentErrorWords(error);
    return pages.empty() && cut_short.empty() ? "error: " + words : "error with pages: " + words;
  }
  std::string out;
  for (std::size_t i = 0; i < pages.size(); ++i) out += (i ? "|" : "") + pages[i].Text();
  for (std::size_t i = 0; i < cut_short.size(); ++i) {
    out += (i ? ", " : "; cut short: ") + std::to_string(cut_short[i]);
  }
  return error == DocumentError::kNone
             ? out
             : "error on success: " + std::string(DocumentErrorWords(error));
}

class PdfSampleTest : public testing::TestWithParam<test::PdfSample> {};

TEST_P(PdfSampleTest, GivesEachPageInReadingOrder) {
  std::string expected;
  for (std::size_t i = 0; i < GetParam().pages.size(); ++i) {
    expected += (i ? "|" : "") + GetParam().pages[i];
  }
  EXPECT_EQ(Read(GetParam().pdf), expected);
}

INSTANTIATE_TEST_SUITE_P(Samples, PdfSampleTest, testing::ValuesIn(test::PdfSamples()),
                         [](const testing::TestParamInfo<test::PdfSample>& info) {
                           return info.param.name;
                         });

TEST(PdfLinesTest, CarryTheirPlaceAndSizeOnThePageAsShown) {
  PdfWriter upright;
  upright.Pages({"BT /F1 18 Tf 72 700 Td (Title) Tj ET BT /F1 9 Tf 300 40 Td (Page 1) Tj ET"});
  PdfWriter turned;
  turned.Pages({"BT /F1 12 Tf 0 1 -1 0 100 72 Tm (rotated) Tj ET"}, {}, "/Rotate 90");
  std::vector<PdfPage> pages;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(ReadPdfText(test::AsBytes(upright.Build()), pages, error))
      << DocumentErrorWords(error);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].width, 612);
  EXPECT_EQ(pages[0].height, 792);
  ASSERT_EQ(pages[0].lines.size(), 2u);
  const PdfLine& title = pages[0].lines[0];
  EXPECT_EQ(title.text, "Title");
  EXPECT_DOUBLE_EQ(title.x, 72);
  EXPECT_DOUBLE_EQ(title.y, 700);
  EXPECT_DOUBLE_EQ(title.font_size, 18);
  const PdfLine& footer = pages[0].lines[1];
  EXPECT_EQ(footer.text, "Page 1");
  EXPECT_DOUBLE_EQ(footer.x, 300);
  EXPECT_DOUBLE_EQ(footer.y, 40);
  EXPECT_DOUBLE_EQ(footer.font_size, 9);

  ASSERT_TRUE(ReadPdfText(test::AsBytes(turned.Build()), pages, error))
      << DocumentErrorWords(error);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].width, 792);
  EXPECT_EQ(pages[0].height, 612);
  ASSERT_EQ(pages[0].lines.size(), 1u);
  EXPECT_DOUBLE_EQ(pages[0].lines[0].x, 72);
  EXPECT_DOUBLE_EQ(pages[0].lines[0].y, 512);
  EXPECT_DOUBLE_EQ(pages[0].lines[0].font_size, 12);
}

struct RefusedCase {
  std::string name;
  std::function<std::string()> pdf;
  std::string expected;
  PdfLimits limits{};
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class PdfHostileTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(PdfHostileTest, RefusedWithTheReasonOrReadWithinBounds) {
  EXPECT_EQ(Read(GetParam().pdf(), GetParam().limits), GetParam().expected);
}

std::string Error(const char* reason) { return std::string("error: ") + reason; }

std::string Patched(std::string pdf, const std::string& from, const std::string& to) {
  const std::size_t at = pdf.find(from);
  if (at != std::string::npos) pdf.replace(at, from.size(), to);
  return pdf;
}

constexpr char kCitationLine[] = "BT /F1 12 Tf 72 700 Td (GB 50016-2014) Tj ET";

std::string Sound(PdfWriter::Xref xref = PdfWriter::Xref::kTable) {
  PdfWriter w;
  w.Pages({kCitationLine});
  return w.Build(xref);
}

// A page whose content is `parts` streams, each of the dictionary `entries` and `data`.
std::string StreamsPage(int parts, const std::string& entries, const std::string& data) {
  PdfWriter w;
  w.Pages({});
  std::string contents;
  for (int i = 0; i < parts; ++i) {
    contents += std::to_string(w.AddStream(entries, data)) + " 0 R ";
  }
  const int page = w.Add("<< /Type /Page /Parent 2 0 R /Contents [" + contents +
                         "] /Resources << /Font << /F1 1 0 R >> >> >>");
  w.Replace(2, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
  return w.Build();
}

// A page whose content is `parts` streams, each `size` zero bytes deflated.
std::string ZerosPage(int parts, std::uint64_t size) {
  return StreamsPage(parts, "/Filter /FlateDecode", "\x78\x9C" + test::DeflateZeros(size));
}

INSTANTIATE_TEST_SUITE_P(
    Files, PdfHostileTest,
    testing::Values(
        RefusedCase{"NotAPdf", [] { return std::string("GB 50016-2014\n"); },
                    Error(DocumentErrorWords(DocumentError::kNotPdf))},
        RefusedCase{"NeedsAPassword", [] { return test::PdfFixture("password.pdf"); },
                    Error(DocumentErrorWords(DocumentError::kEncrypted))},
        RefusedCase{"OtherSecurityHandler",
                    [] {
                      PdfWriter w;
                      w.Pages({"BT /F1 12 Tf 72 700 Td (secret) Tj ET"});
                      const int encrypt = w.Add("<< /Filter /Adobe.PubSec /V 4 /R 4 >>");
                      return w.Build(PdfWriter::Xref::kTable,
                                     "/Encrypt " + std::to_string(encrypt) + " 0 R");
                    },
                    Error(DocumentErrorWords(DocumentError::kEncrypted))},
        RefusedCase{"NoCatalog", [] { return std::string("%PDF-1.4\n1 0 obj << garbage\n"); },
                    Error(DocumentErrorWords(DocumentError::kDamaged))},
        RefusedCase{"PagesReferenceLoop",
                    [] {
                      PdfWriter w;
                      const int a = w.Reserve();
                      const int b = w.Add(std::to_string(a) + " 0 R");
                      w.Replace(a, std::to_string(b) + " 0 R");
                      w.Pages({});
                      w.Replace(w.Root(),
                                "<< /Type /Catalog /Pages " + std::to_string(a) + " 0 R >>");
                      return w.Build();
                    },
                    Error(DocumentErrorWords(DocumentError::kDamaged))},
        RefusedCase{"PageTreeHoldsItself",
                    [] { return Patched(Sound(), "/Kids [", "/Kids [2 0 R "); }, "GB 50016-2014"},
        RefusedCase{"PrevPointsToItself",
                    [] {
                      std::string pdf = Sound();
                      const std::string at = pdf.substr(pdf.rfind("startxref") + 10);
                      return Patched(pdf, "trailer\n<<",
                                     "trailer\n<< /Prev " + at.substr(0, at.find('\n')));
                    },
                    "GB 50016-2014"},
        RefusedCase{"LengthNamesItsOwnStream",
                    [] { return Patched(Sound(), "/Length 44", "/Length 3 0 R"); },
                    "GB 50016-2014"},
        RefusedCase{"StartxrefPastTheEnd",
                    [] {
                      std::string pdf = Sound();
                      return pdf.substr(0, pdf.rfind("startxref")) + "startxref\n99999999\n%%EOF\n";
                    },
                    "GB 50016-2014"},
        RefusedCase{
            "XrefStreamOfZeroWidths",
            [] { return Patched(Sound(PdfWriter::Xref::kStream), "/W [1 4 2]", "/W [0 0 0]"); },
            "GB 50016-2014"},
        RefusedCase{"ObjectStreamCountLies",
                    [] {
                      return Patched(Sound(PdfWriter::Xref::kObjectStreams), "/ObjStm /N ",
                                     "/ObjStm /N 999999");
                    },
                    "GB 50016-2014"},
        RefusedCase{"ArraysNestedDeepInContent",
                    [] {
                      PdfWriter w;
                      w.Pages({std::string(100000, '[') +
                               " BT /F1 12 Tf 72 700 Td (GB 50016-2014) Tj ET"});
                      return w.Build();
                    },
                    "GB 50016-2014"},
        RefusedCase{"CatalogNestedDeep",
                    [] {
                      return Patched(Sound(), "/Type /Catalog",
                                     "/Deep " + std::string(100000, '[') + " /Type /Catalog");
                    },
                    Error(DocumentErrorWords(DocumentError::kDamaged))},
        RefusedCase{
            "TableOfTwoMillionObjects",
            [] {
              return std::string(
                  "%PDF-1.4\nxref\n0 2000000\n0000000000 65535 f \ntrailer << /Root 1 0 R >>\n"
                  "startxref\n9\n%%EOF\n");
            },
            Error(DocumentErrorWords(DocumentError::kPdfTooComplex))},
        RefusedCase{"PageHoldsAnArrayNestedDeep",
                    [] {
                      return Patched(Sound(), "/Type /Page ",
                                     "/Deep " + std::string(100000, '[') +
                                         std::string(100000, ']') + " /Type /Page ");
                    },
                    "GB 50016-2014"},
        RefusedCase{
            "PageTreeDeeperThanItsNesting",
            [] {
              PdfWriter w;
              w.Pages({"BT /F1 12 Tf 72 700 Td (GB 50016-2014) Tj ET"});
              int top = 2;  // the tree Pages made
              for (int level = 0; level < 5000; ++level) {
                top = w.Add("<< /Type /Pages /Kids [" + std::to_string(top) + " 0 R] /Count 1 >>");
              }
              w.Replace(w.Root(), "<< /Type /Catalog /Pages " + std::to_string(top) + " 0 R >>");
              return w.Build();
            },
            "GB 50016-2014"},
        RefusedCase{"XrefStreamIndexPastTheLimit",
                    [] {
                      PdfWriter w;
                      w.Pages({"BT /F1 12 Tf 72 700 Td (GB 50016-2014) Tj ET"});
                      return w.Build(PdfWriter::Xref::kStream, "/Index [0 5000000]");
                    },
                    Error(DocumentErrorWords(DocumentError::kPdfTooComplex))},
        RefusedCase{"LengthsChainedThroughManyStreams",
                    [] {
                      PdfWriter w;
                      w.Pages({"BT /F1 12 Tf 72 700 Td (GB 50016-2014) Tj ET"});
                      const int first = w.Reserve() + 1;
                      for (int n = first; n < first + 20000; ++n) {
                        w.AddStream("", "x", std::to_string(n + 1) + " 0 R");
                      }
                      return Patched(w.Build(), "/Length 44",
                                     "/Length " + std::to_string(first) + " 0 R");
                    },
                    "GB 50016-2014"},
        RefusedCase{
            "MorePartsThanTheLimit",
            [] {
              std::string items;
              for (int i = 0; i < 2000; ++i) items += "1 ";
              return Patched(Sound(), "/Type /Catalog", "/Big [" + items + "] /Type /Catalog");
            },
            Error(DocumentErrorWords(DocumentError::kPdfTooComplex)), PdfLimits{.max_parts = 1000}},
        RefusedCase{"FlateBomb", [] { return ZerosPage(1, 8u << 20); },
                    Error(DocumentErrorWords(DocumentError::kTooLarge)),
                    PdfLimits{.max_stream_size = 4u << 20}},
        RefusedCase{"DecodedPastTheTotal", [] { return ZerosPage(5, 1u << 20); },
                    Error(DocumentErrorWords(DocumentError::kTooLarge)),
                    PdfLimits{.max_decoded_total = 4u << 20}},
        RefusedCase{"PredictorRowPastTheLimit",
                    [] {
                      return StreamsPage(1,
                                         "/Filter /FlateDecode /DecodeParms << /Predictor 12 "
                                         "/Colors 3 /Columns 1000000000 >>",
                                         test::ZlibDeflate("\x02GB 50016-2014"));
                    },
                    Error(DocumentErrorWords(DocumentError::kTooLarge))},
        RefusedCase{"PredictorRowPastASmallLimit",
                    [] {
                      return StreamsPage(
                          1, "/Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 8192 >>",
                          test::ZlibDeflate("\x02GB 50016-2014"));
                    },
                    Error(DocumentErrorWords(DocumentError::kTooLarge)),
                    PdfLimits{.max_stream_size = 4096}},
        RefusedCase{"StreamsWithoutEndstream",
                    [] {
                      // Each runs to the next object, not to the end of the file: the bytes
                      // decoded stay those of the file.
                      std::string pdf = Sound(PdfWriter::Xref::kNone);
                      for (int n = 100; n < 2100; ++n) {
                        pdf += std::to_string(n) +
                               " 0 obj << /Type /ObjStm /N 1 /First 4 >> stream\n1 0 x\n";
                      }
                      return pdf;
                    },
                    "GB 50016-2014", PdfLimits{.max_decoded_total = 1u << 20}},
        RefusedCase{"OneStringOfManyGlyphs",
                    [] {
                      std::string text;
                      for (int i = 0; i < 700; ++i) text += "GB 50016-2014 ";
                      PdfWriter w;
                      w.Pages({"BT /F1 12 Tf 0 700 Td (" + text + ") Tj ET"});
                      return w.Build();
                    },
                    [] {
                      std::string text;
                      for (int i = 0; i < 700; ++i) text += "GB 50016-2014 ";
                      text.pop_back();
                      return text;
                    }()},
        RefusedCase{"CharacterPlacedAtNoNumber",
                    [] {
                      // Text written downwards, a rise of 10^200 through a matrix term of
                      // 10^200: its place along the line is infinity times nought.
                      const std::string huge = "1" + std::string(200, '0');
                      PdfWriter w;
                      w.Pages({std::string(kCitationLine) + " BT /F1 12 Tf 0 -1 " + huge +
                               " 0 0 0 Tm " + huge + " Ts (lost) Tj ET"});
                      return w.Build();
                    },
                    "GB 50016-2014"},
        RefusedCase{"FormsFanningOut", [] { return test::FormFanOutPdf(10, 10); },
                    Error(DocumentErrorWords(DocumentError::kPdfTooComplex)),
                    PdfLimits{.max_operators = 100000}},
        // The page keeps what it showed before the limit; the next one is read whole.
        RefusedCase{"FormsDrawnPastTheLimitCutTheirPageShort",
                    [] {
                      return test::FormFanOutPdf(10, 4,
                                                 {"BT /F1 12 Tf 72 700 Td (before) Tj ET /Top Do "
                                                  "BT /F1 12 Tf 72 600 Td (after) Tj ET",
                                                  "BT /F1 12 Tf 72 700 Td (GB 50016-2014) Tj ET"});
                    },
                    "before\nx|GB 50016-2014; cut short: 1", PdfLimits{.max_form_draws = 1000}},
        RefusedCase{"TextPastTheLimit", [] { return Sound(); },
                    Error(DocumentErrorWords(DocumentError::kPdfTooComplex)),
                    PdfLimits{.max_text = 5}}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

// Counted without running the pages: the page draws the top form, which draws the next ten
// times, four deep: 1 + 10 + 100 + 1,000 forms.
TEST(PdfFormDrawsTest, CountEachFormAsOftenAsItIsDrawn) {
  const Bytes pdf = test::AsBytes(test::FormFanOutPdf(10, 4, {"/Top Do", "", "/Top Do"}));
  int pages = 0;
  EXPECT_EQ(PagesPastFormBounds(pdf, pages, PdfLimits{.max_form_draws = 1111}), std::vector<int>{});
  EXPECT_EQ(pages, 3);
  EXPECT_EQ(PagesPastFormBounds(pdf, pages, PdfLimits{.max_form_draws = 1110}),
            (std::vector<int>{1, 3}));
  EXPECT_EQ(PagesPastFormBounds(test::AsBytes(Sound()), pages, PdfLimits{.max_form_draws = 0}),
            std::vector<int>{});
  EXPECT_EQ(pages, 1);
}

}  // namespace
}  // namespace kelvaro
