// What the readers of Word 97-2003 (.doc, and .wps in its format) and Excel 97-2003 (.xls)
// share: the streams of their compound file, read little-endian with bounds checked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/containers/compound_file.h"
#include "document/document.h"
#include "document/readers/formats.h"

namespace kelvaro::binary {

// The value at `at`, or 0 when it does not lie wholly inside `b`.
inline std::uint32_t U8(std::string_view b, std::uint64_t at) {
  return at < b.size() ? static_cast<std::uint8_t>(b[at]) : 0;
}
inline std::uint32_t U16(std::string_view b, std::uint64_t at) {
  return at + 2 <= b.size() ? U8(b, at) | (U8(b, at + 1) << 8) : 0;
}
inline std::uint32_t U32(std::string_view b, std::uint64_t at) {
  return at + 4 <= b.size() ? U16(b, at) | (U16(b, at + 2) << 16) : 0;
}

// The text of a Word 97-2003 document in its compound file. `not_word` is the reason given
// when the WordDocument stream is missing or in no format read here; past the budget,
// kContentTooLarge.
bool ReadWordStreams(const CompoundFile& file, formats::Budget& budget,
                     std::vector<TextPiece>& pieces, DocumentError& error, DocumentError not_word);
// The text cells of an Excel 97-2003 (BIFF8) workbook in its compound file.
bool ReadExcelStreams(const CompoundFile& file, formats::Budget& budget,
                      std::vector<TextPiece>& pieces, DocumentError& error);

}  // namespace kelvaro::binary
