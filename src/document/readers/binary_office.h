// What the readers of Word 97-2003 (.doc, and .wps in its format) and Excel 97-2003 (.xls)
// share: the streams of their compound file, read little-endian with bounds checked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/containers/compound_file.h"
#include "document/containers/little_endian.h"
#include "document/document.h"
#include "document/readers/formats.h"

namespace kelvaro::binary {

using little_endian::U16;
using little_endian::U32;
using little_endian::U8;

// The text of a Word 97-2003 document in its compound file. `not_word` is the reason given
// when the WordDocument stream is missing or in no format read here; past the budget,
// kContentTooLarge.
bool ReadWordStreams(const CompoundFile& file, formats::Budget& budget,
                     std::vector<TextPiece>& pieces, DocumentError& error, DocumentError not_word);
// The text cells of an Excel 97-2003 (BIFF8) workbook in its compound file.
bool ReadExcelStreams(const CompoundFile& file, formats::Budget& budget,
                      std::vector<TextPiece>& pieces, DocumentError& error);

}  // namespace kelvaro::binary
