// A copy of an Excel workbook (.xlsx) with one sheet of Kelvaro's put before its own, which
// stay as they were.
#pragma once

#include "document/document.h"
#include "document/xlsx_writer.h"
#include "text/text.h"

namespace kelvaro {

// `xlsx` with `sheet` as its new first sheet (and the active one). The original sheets'
// parts are copied byte for byte; the workbook, its relationships, the content types and
// the styles gain what the new sheet needs. False with the reader's reason when the
// workbook cannot be read or is refused, or (kContentTooLarge) when the sheet does not fit;
// then `out` is left empty.
bool AddFirstSheet(const Bytes& xlsx, const XlsxSheet& sheet, Bytes& out, DocumentError& error,
                   const DocumentLimits& limits = {});

}  // namespace kelvaro
