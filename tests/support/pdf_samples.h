// PDFs whose text is known, for the PDF reader's tests and its comparison with poppler: one
// for each kind of cross-reference, filter, encoding, CMap and text operator the reader
// handles, and the fixtures other writers made (tests/data/pdf).
#pragma once

#include <string>
#include <vector>

namespace kelvaro::test {

struct PdfSample {
  std::string name;
  std::string pdf;
  std::vector<std::string> pages;  // each page's lines joined by "\n"
  // Why poppler's text is another, where it is: its citations must still be the same.
  std::string poppler_text_differs = {};
  // Why poppler reads no text of it that could be compared.
  std::string poppler_cannot = {};
};
void PrintTo(const PdfSample& sample, std::ostream* os);

std::vector<PdfSample> PdfSamples();

// A title over a table of three columns and five rows, the header row's "Standard" over
// citations, drawn column by column as table writers draw them: each row's cells share a
// baseline.
std::string TablePdf();

// Pages of `contents`, with Helvetica as /F1 and /Top a form that draws "x" (unless not
// `show_x`) and the next form `fan` times, `depth` deep: "/Top Do" draws
// (fan^depth - 1) / (fan - 1) forms.
std::string FormFanOutPdf(int fan, int depth,
                          const std::vector<std::string>& contents = {"/Top Do"},
                          bool show_x = true);

// A fixture of tests/data/pdf by its name.
std::string PdfFixture(const std::string& name);

}  // namespace kelvaro::test
