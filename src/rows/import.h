// What the import puts in the Result table: a list of numbers (a .txt file, one per line),
// or the standards a text or document cites, each row with where it came from.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "document/readers/read_document.h"
#include "rows/result_table.h"
#include "text/text.h"

namespace kelvaro {

// The lines of a numbers file, GBK. A line ends at CR LF or at a lone LF (a lone CR stays in
// the line); after the last break only a non-empty rest counts. The file is read as UTF-8,
// UTF-16 after its byte-order mark, or GBK when it is valid GBK and not UTF-8; invalid
// sequences and zero bytes become "?"; nothing is dropped.
TextList ImportLines(const Bytes& bytes);

// A row the import makes: column 1, and where the row came from (with column 1 as written
// when GBK cannot hold it whole).
struct ImportedRow {
  Text number;  // GBK
  RowSource source;
};

// A list of numbers, one row per line (kLine from 1): a line citing several standards gives
// one row per citation (column 1 that citation as written), a line citing one keeps its whole
// text and looks that citation up, any other line is a row as it stands.
std::vector<ImportedRow> ListRows(const TextList& lines);
// The same for pieces that each stand for one line of a list (an exported table's column).
std::vector<ImportedRow> ListRows(const std::vector<TextPiece>& lines);
// A document may give at most this many rows; past it the import refuses it as too large.
inline constexpr std::size_t kMaxImportedRows = 1'000'000;

// A table Kelvaro exported (row 1 holds the headers 序号 and 待查标准编号, .xlsx or .csv):
// the pieces of its 待查标准编号 column below the header, in row order (of the first sheet
// for .xlsx); nothing otherwise. The apostrophe the export puts before a cell starting with
// = + - or @ is taken off again.
std::optional<std::vector<TextPiece>> ExportedNumberColumn(const std::vector<TextPiece>& cells);

// Pasted text or a document: one row per citation in reading order (at most
// kMaxImportedRows), column 1 the number as written with its edition note ("GB 50016-2014
// （2018年版）"), on one line.
std::vector<ImportedRow> CitationRows(const std::vector<TextPiece>& pieces);
// The same, appended to `rows`; false when the pieces cite more than kMaxImportedRows (the
// rows stop there).
bool AddCitationRows(const std::vector<TextPiece>& pieces, std::vector<ImportedRow>& rows);

// Rows citing the same standard made one, the first, keeping the later places in
// `cited_again`: the same canonical number, amendment and edition note; the note tells
// which printing the text means, so a citation with one is a row of its own. Rows without a
// citation stay as they are.
void GatherCitedAgain(std::vector<ImportedRow>& rows);
// What makes two citations one standard to GatherCitedAgain: canonical number, amendment and
// edition note.
std::string SameStandardKey(const Citation& citation);

// The rows of a file of `kind`, taken for what its bytes are (KindOfContent): a .txt file is a
// list (unless `citations`: then a document like any other); a table Kelvaro exported gives
// its 待查标准编号 column as a list; any other document its citations, each standard once
// (GatherCitedAgain). False with the reason when the document cannot be read or is refused.
// What the reader says of a document read only in part goes to `notes` (ReadDocument).
bool RowsFromBytes(const Bytes& bytes, DocumentKind kind, std::vector<ImportedRow>& rows,
                   DocumentError& error, bool citations = false,
                   std::vector<std::string>* notes = nullptr);
// Pasted text: its citations' rows, each standard once, lines counted from 1.
std::vector<ImportedRow> PastedRows(const std::string& utf8);
// Why a file could not be imported: the system's words when it could not be read at all,
// else why its bytes were refused.
struct ImportError {
  std::string file;  // UTF-8; empty when the file was read
  DocumentError document = DocumentError::kNone;
};
// The reason in words (UTF-8): the system's, or DocumentErrorWords.
std::string ImportErrorWords(const ImportError& error);

// Read, clear, fill, the kind from the file's extension: what the import button does once a
// file is chosen. A file that cannot be read leaves the table as it was and returns false
// with the reason.
bool ImportNumbersFromFile(ResultTable& table, const std::string& path,
                           ImportError* error = nullptr);
// Replaces the rows with `rows`, ordinals from 1. Returns how many.
int FillTable(ResultTable& table, const std::vector<ImportedRow>& rows);
// A list of numbers in bytes, as a .txt file: appends its rows (the caller clears the table).
int ImportNumbersFromBytes(ResultTable& table, const Bytes& bytes);

}  // namespace kelvaro
