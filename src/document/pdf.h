// PDF text, by the reader the build has (KELVARO_WITH_POPPLER).
#pragma once

#include <string>
#include <vector>

#include "document/errors.h"
#include "text/text.h"

namespace kelvaro {

// The text of each page of a PDF held in memory, UTF-8, in reading order (one string per
// page, empty for a page without text), its lines ending in LF, a hyphen that ends a line
// kept. False with kEncrypted for a PDF that needs a password, kNotPdf, kDamaged; in a build
// without a PDF reader always false with kNoPdfReader.
bool ReadPdfPages(const Bytes& pdf, std::vector<std::string>& pages_utf8, DocumentError& error);

}  // namespace kelvaro
