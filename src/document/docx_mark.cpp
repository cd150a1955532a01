#include "document/docx_mark.h"

namespace kelvaro {

// Placeholder until the marker lands.
bool MarkDocx(const Bytes&, const MarkDecider&, const MarkAuthor&, MarkedDocument& out,
              DocumentError& error, const DocumentLimits&) {
  out = {};
  error = DocumentError::kNotWord;
  return false;
}

}  // namespace kelvaro
