// PDF text: poppler's where the build has it (KELVARO_WITH_POPPLER, Linux), else the reader
// of our own (pdf_reader.h).
#pragma once

#include <string>
#include <vector>

#include "document/errors.h"
#include "text/text.h"

namespace kelvaro {

// The text of each page of a PDF held in memory, UTF-8, in reading order (one string per
// page, empty for a page without text), its lines ending in LF, a hyphen that ends a line
// kept. False with kEncrypted for a PDF that needs a password, kNotPdf, kDamaged, or the
// reader's limits (kTooLarge, kPdfTooComplex). A page whose forms fan out past the limits is
// cut short (what was read of it kept, or nothing) and the other pages read; its number
// (from 1) goes to `cut_short` when given.
bool ReadPdfPages(const Bytes& pdf, std::vector<std::string>& pages_utf8, DocumentError& error,
                  std::vector<int>* cut_short = nullptr);

}  // namespace kelvaro
