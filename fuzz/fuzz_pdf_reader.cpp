// The PDF reader on any bytes: no crash or sanitizer report within its limits; a refusal
// has a reason and leaves no page; every line it gives is one line of valid UTF-8, not
// empty, without a space at either end; a page's text is its lines joined.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/pdf/reader.h"
#include "fuzz_support.h"
#include "text/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Smaller than the defaults, so that one input stays well inside the run's time-out.
  kelvaro::PdfLimits limits;
  limits.max_stream_size = 16u << 20;
  limits.max_decoded_total = 64u << 20;
  limits.max_operators = 2'000'000;
  limits.max_form_draws = 10'000;
  std::vector<kelvaro::PdfPage> pages;
  kelvaro::DocumentError error = kelvaro::DocumentError::kNone;
  if (!kelvaro::ReadPdfText(std::span<const std::uint8_t>(data, size), pages, error, limits)) {
    FUZZ_EXPECT(error != kelvaro::DocumentError::kNone, "refused without a reason");
    FUZZ_EXPECT(pages.empty(), "refused and left pages");
    return 0;
  }
  FUZZ_EXPECT(error == kelvaro::DocumentError::kNone,
              std::string("read with a reason: ") + kelvaro::DocumentErrorWords(error));
  for (const kelvaro::PdfPage& page : pages) {
    std::string joined;
    for (const kelvaro::PdfLine& line : page.lines) {
      const std::string shown = kelvaro::fuzz::Hex(line.text);
      FUZZ_EXPECT(!line.text.empty(), "an empty line");
      FUZZ_EXPECT(kelvaro::SanitizeUtf8(line.text) == line.text, "invalid UTF-8: " + shown);
      FUZZ_EXPECT(line.text.find('\n') == std::string::npos, "a line break inside " + shown);
      FUZZ_EXPECT(line.text.front() != ' ' && line.text.back() != ' ',
                  "spaces at an end: " + shown);
      joined += (joined.empty() ? "" : "\n") + line.text;
    }
    FUZZ_EXPECT(page.Text() == joined, "page text other than its lines");
  }
  return 0;
}
