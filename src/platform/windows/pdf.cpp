// No PDF library is built for Windows here: the user is told how to get the text in.
#include "platform/pdf.h"

namespace kelvaro::platform {

bool ReadPdfPages(const Bytes&, std::vector<std::string>& pages_utf8, std::string& error) {
  pages_utf8.clear();
  error = "此版本不能读取 PDF，请另存为 Word 文档后导入";
  return false;
}

}  // namespace kelvaro::platform
