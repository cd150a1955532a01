// PDF text from the system's PDF library (poppler), in builds made with KELVARO_WITH_POPPLER;
// the others read PDFs with document/pdf_reader.h.
#pragma once

#include <string>
#include <vector>

#include "text/text.h"

namespace kelvaro::platform {

// The text of each page of a PDF held in memory, UTF-8, in reading order (one string per
// page, empty for a page without text). False with the reason (UTF-8, Chinese): "文件已加密"
// for a PDF that needs a password, "不是 PDF 文档", "文件已损坏".
bool ReadPdfPages(const Bytes& pdf, std::vector<std::string>& pages_utf8, std::string& error);

}  // namespace kelvaro::platform
