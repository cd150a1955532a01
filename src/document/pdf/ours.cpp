// PDF text by the reader of our own, for builds without poppler (Windows).
#include "document/pdf/pdf.h"
#include "document/pdf/reader.h"

namespace kelvaro {

bool ReadPdfPages(const Bytes& pdf, std::vector<std::string>& pages_utf8, DocumentError& error,
                  std::vector<int>* cut_short) {
  pages_utf8.clear();
  std::vector<PdfPage> pages;
  if (!ReadPdfText(pdf, pages, error, {}, cut_short)) return false;
  for (const PdfPage& page : pages) pages_utf8.push_back(page.Text());
  return true;
}

}  // namespace kelvaro
