// Word and Excel 97-2003 files made in memory on CompoundBuilder: the structures the readers
// look at and nothing more, so that each test writes only the text and records it is about.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/compound_builder.h"

namespace kelvaro::test {

// A paragraph's properties, given at its mark (the character that ends it).
struct WordParagraph97 {
  std::uint32_t mark = 0;  // its character position
  int depth = 0;           // table nesting
  bool row_end = false;
  std::uint16_t style = 0;  // its style index
  int outline = -1;         // its own outline level; -1 for none
};

// A paragraph style of the stylesheet: Word's built-in identifier (1 to 9 its headings,
// 0 Normal, 0xFFE a style of the user's), the style it is based on, its outline level.
struct WordStyle97 {
  std::uint16_t built_in = 0xFFE;
  std::uint16_t based_on = 0xFFF;  // none
  int outline = -1;
  std::u16string name = u"s";
};

struct WordFile {
  // The stories in order, each character one position: "\r" ends a paragraph, "\a" a cell
  // or a row, "\x13" "\x14" "\x15" delimit fields.
  std::u16string body, footnotes, headers, endnotes;
  std::vector<std::uint32_t> header_stories;  // story starts within `headers`, and its end
  std::vector<WordParagraph97> paragraphs;    // the table paragraphs; others need none
  std::vector<WordStyle97> styles;            // the stylesheet, by style index; none if empty
  std::vector<std::pair<std::uint32_t, std::uint32_t>> deleted;  // [from, to) positions
  // Pieces start at these positions (0 implied); their text is laid out in the stream in
  // reverse order. Piece i is compressed (8-bit) when compressed[i % size] is true.
  std::vector<std::uint32_t> piece_starts;
  std::vector<bool> compressed = {false};
  std::uint16_t flags = 0x1000;  // the FIB's flags besides the table stream bit
  std::uint16_t version = 0x00C1;
  bool table1 = true;  // the table stream is 1Table (else 0Table)
};

// The WordDocument and table streams of `file`, for a test that adds or breaks streams.
std::vector<CompoundStream> WordStreams(const WordFile& file);
Bytes BuildWord(const WordFile& file);

// One BIFF record; `data` longer than a record holds is not split (see SstRecords).
std::string BiffRecord(std::uint16_t type, const std::string& data);
// An XLUnicodeString: 16-bit length, flags, characters (8-bit when all fit).
std::string XlsString(const std::u16string& text);
// A cell record's first six bytes: row and column (0-based), XF index 15.
std::string XlsCell(std::uint16_t row, std::uint16_t column);
// SST and CONTINUE records holding `strings`, no record's data longer than `limit` bytes;
// a string that reaches a record's end goes on in the next after a flags byte, 8-bit or
// 16-bit by what its characters there need.
std::string SstRecords(const std::vector<std::u16string>& strings, std::size_t limit = 8224);

struct XlsSheet {
  std::u16string name;
  std::string records;    // between the sheet's BOF and EOF
  std::uint8_t type = 0;  // BOUNDSHEET8's dt: 0 worksheet, 2 chart
};
// The Workbook stream: BOF, `globals` (e.g. SstRecords, FILEPASS), BOUNDSHEET8 per sheet,
// EOF, then each sheet's substream.
std::string WorkbookStream(const std::string& globals, const std::vector<XlsSheet>& sheets,
                           std::uint16_t version = 0x0600);
Bytes BuildXls(const std::string& globals, const std::vector<XlsSheet>& sheets);

}  // namespace kelvaro::test
