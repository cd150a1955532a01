#include "document/xlsx_mark.h"

namespace kelvaro {

// Placeholder until the sheet adder lands.
bool AddFirstSheet(const Bytes&, const XlsxSheet&, Bytes& out, DocumentError& error,
                   const DocumentLimits&) {
  out.clear();
  error = DocumentError::kNotExcel;
  return false;
}

}  // namespace kelvaro
