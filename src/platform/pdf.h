// PDF text, from the system's PDF library where it has one.
#pragma once

#include <string>
#include <vector>

#include "text/text.h"

namespace kelvaro::platform {

// The text of each page of a PDF held in memory, UTF-8, in reading order (one string per
// page, empty for a page without text), its lines ending in LF, a hyphen that ends a line
// kept. False with the reason (UTF-8, Chinese): "文件已加密"
// for a PDF that needs a password, "不是 PDF 文档", "文件已损坏"; on a system without a PDF
// library always false with the words saying so.
bool ReadPdfPages(const Bytes& pdf, std::vector<std::string>& pages_utf8, std::string& error);

}  // namespace kelvaro::platform
