// A copy of an Excel workbook (.xlsx) with one sheet of Kelvaro's put before its own, which
// stay as they were.
#pragma once

#include "document/document.h"
#include "document/writers/xlsx_writer.h"
#include "text/text.h"

namespace kelvaro {

// `xlsx` with `sheet` as its new first sheet, written as WriteXlsx
// writes a sheet but with inline strings, under its name made valid and unlike the
// workbook's own ones (" (2)"...). Every other member is copied with the same bytes, names
// and order; the workbook, its relationships, the content types and the styles are edited
// in place to gain what the new sheet needs (a workbook without styles gets ours), and the
// defined names of the workbook's own sheets follow them. The sheet the workbook opened on
// stays the one it opens on: its selection is written in its own part, and a second selected
// sheet would group the two in Excel. False with the reader's reason
// when the workbook cannot be read or is refused, kStrictXml for a Strict Open XML workbook,
// kContentTooLarge when the sheet does not fit; then `out` is left empty.
bool AddFirstSheet(const Bytes& xlsx, const XlsxSheet& sheet, Bytes& out, DocumentError& error,
                   const DocumentLimits& limits = {});

}  // namespace kelvaro
