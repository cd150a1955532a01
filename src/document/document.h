// Documents turned into pieces of UTF-8 text, each with where it stands, in reading order:
// plain text, Word (.docx, .doc), Excel (.xlsx, .xls), WPS (.wps), CSV and PDF. Nothing here writes
// a file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/location.h"
#include "text/text.h"

namespace kelvaro {

struct TextPiece {
  std::string text;  // UTF-8, never empty
  Location location;

  bool operator==(const TextPiece&) const = default;
};

enum class DocumentKind { kText, kDocx, kXlsx, kCsv, kPdf, kDoc, kXls, kWps };

// By the file name's extension, case-insensitive: .docx (and .docm), .xlsx (and .xlsm), .csv,
// .pdf, .doc, .xls, .wps; .txt and anything unknown: kText. kDoc, kXls and kWps read what
// the file really is (a renamed .docx, a text file) and refuse what no reader here reads.
DocumentKind DocumentKindOf(std::string_view path);

// The pieces of a document in reading order; false with `error` (UTF-8, Chinese, short, from
// reasons.h) when it cannot be read, and then no pieces. kText gives one piece per non-empty
// line (kLine; lines end as ImportLines ends them), kCsv one per non-empty cell.
bool ReadDocument(const Bytes& bytes, DocumentKind kind, std::vector<TextPiece>& pieces,
                  std::string& error);

// A file's text as UTF-8: UTF-8 (byte-order mark dropped), UTF-16 LE/BE after a byte-order
// mark, else GBK when the bytes are not valid UTF-8 but are valid GBK, else UTF-8 with one
// "?" per maximal invalid sequence (zero bytes count as invalid).
std::string DecodeTextFile(const Bytes& bytes);

// A table Kelvaro exported (row 1 holds the headers 序号 and 待查标准编号, .xlsx or .csv):
// the pieces of its 待查标准编号 column below the header, in row order (of the first sheet
// for .xlsx); nothing otherwise. The apostrophe the export puts before a cell starting with
// = + - or @ is taken off again.
std::optional<std::vector<TextPiece>> ExportedNumberColumn(const std::vector<TextPiece>& cells);

}  // namespace kelvaro
