// TEMPORARY stand-in so this branch links before the multi-sheet writer lands: it writes the
// first sheet only. Drop this file when merging the real WriteXlsx(sheets).
#include "document/xlsx_writer.h"

namespace kelvaro {

XlsxWorkbook WriteXlsx(const std::vector<XlsxSheet>& sheets) {
  return sheets.empty() ? XlsxWorkbook{} : WriteXlsx(sheets.front());
}

}  // namespace kelvaro
