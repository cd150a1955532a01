// A build without a PDF reader: the user is told how to get the text in.
#include "document/pdf.h"

namespace kelvaro {

bool ReadPdfPages(const Bytes&, std::vector<std::string>& pages_utf8, DocumentError& error) {
  pages_utf8.clear();
  error = DocumentError::kNoPdfReader;
  return false;
}

}  // namespace kelvaro
