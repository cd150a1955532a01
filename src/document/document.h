// Documents turned into pieces of UTF-8 text, each with where it stands, in reading order:
// plain text, Word (.docx, .doc), Excel (.xlsx, .xls), WPS (.wps), CSV and PDF. Nothing here writes
// a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/errors.h"
#include "document/location.h"
#include "text/text.h"

namespace kelvaro {

struct TextPiece {
  std::string text;  // UTF-8, never empty
  Location location;

  bool operator==(const TextPiece&) const = default;
};

// Where the text at byte `offset` of `piece` stands: on a PDF page, the line it is on.
Location LocationAt(const TextPiece& piece, std::size_t offset);

// kDoc, kXls, kWps and kPpt are the old Office names: Word and Excel 97-2003 files (and WPS
// files in Word's format) under the first three are read as such, other bytes as what they
// are (KindOfContent).
enum class DocumentKind { kText, kDocx, kXlsx, kCsv, kPdf, kDoc, kXls, kWps, kPpt };

// How much a document may give or make the reader hold; past any of it the document is
// refused as too large (DocumentError::kContentTooLarge, or kTooLarge for the XML inflated).
struct DocumentLimits {
  std::size_t max_text = 64u << 20;  // bytes of all the pieces, with their sheet and cell names
  std::size_t max_pieces = 1000000;
  // .docx and .xlsx: the XML of all the parts read, inflated; one run of text or piece of
  // markup in it; elements open at once.
  std::uint64_t max_xml = 256u << 20;
  std::size_t max_markup = 16u << 20;
  int max_depth = 1000;
};

// By the file name's extension, case-insensitive: .docx (and .docm), .xlsx (and .xlsm), .csv,
// .pdf, .doc, .xls, .wps, .ppt; .txt and anything unknown: kText.
DocumentKind DocumentKindOf(std::string_view path);

// The kinds the import offers, as its open dialog lists them.
struct OfferedKind {
  std::string label;     // UTF-8: "Word 文档"
  std::string patterns;  // "*.docx *.doc *.wps"
};
std::vector<OfferedKind> OfferedKinds();

// What bytes named as `kind` are read as. A text kind (kText, kCsv) or an old Office kind is
// taken for what its bytes are: a zip holding a Word or Excel document is kDocx or kXlsx, a
// PDF kPdf, an OLE2 compound file under a .doc, .xls or .wps name stays so, one named as
// text holding Word or Excel is kDoc or kXls, anything else text. Refused (false with the
// reason) when the bytes are another compound file, another zip, binary (a zero byte without
// a UTF-16 byte-order mark), or markup (HTML, RTF) under an old Office name. The other kinds
// stay as they are.
bool KindOfContent(const Bytes& bytes, DocumentKind& kind, DocumentError& error);

// The pieces of a document in reading order, of the kind KindOfContent finds; false with
// `error` (its words: DocumentErrorWords) when it cannot be read, and then no pieces.
// kText gives one piece per non-empty line (kLine; lines end as ImportLines ends them), kCsv
// one per non-empty cell, kPdf one per page (its lines holding text; kPage with the line it
// starts on) but for the lines that run at the top or bottom of most pages, given once where
// first met as "页眉" or "页脚" (kPart). The memory it takes stays within a small multiple of
// `limits`' text and pieces.
bool ReadDocument(const Bytes& bytes, DocumentKind kind, std::vector<TextPiece>& pieces,
                  DocumentError& error, const DocumentLimits& limits = {});

// A file's text as UTF-8: UTF-8 (byte-order mark dropped), UTF-16 LE/BE after a byte-order
// mark, else GBK when the bytes are not mostly UTF-8 but are valid GBK, else UTF-8 with one
// "?" per maximal invalid sequence (zero bytes count as invalid). Mostly UTF-8: no invalid
// sequence, or at least twice as many valid sequences of three or four bytes as invalid ones.
std::string DecodeTextFile(const Bytes& bytes);

// A table Kelvaro exported (row 1 holds the headers 序号 and 待查标准编号, .xlsx or .csv):
// the pieces of its 待查标准编号 column below the header, in row order (of the first sheet
// for .xlsx); nothing otherwise. The apostrophe the export puts before a cell starting with
// = + - or @ is taken off again.
std::optional<std::vector<TextPiece>> ExportedNumberColumn(const std::vector<TextPiece>& cells);

}  // namespace kelvaro
