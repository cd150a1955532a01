// Documents read into pieces of text with their places: plain text, Word (.docx, .doc),
// Excel (.xlsx, .xls), WPS (.wps), CSV and PDF, each by the reader of its kind
// (formats::Formats()). Nothing here writes a file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "document/document.h"
#include "document/errors.h"
#include "text/text.h"

namespace kelvaro {

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
// reason) when the bytes are another compound file, another zip, binary (more than a few zero
// bytes, and not UTF-16's pattern of them), or markup (HTML, RTF) under an old Office name. A
// .docx or .xlsx that is a Word or Excel 97-2003 file is kDoc or kXls; the other kinds stay as
// they are.
bool KindOfContent(const Bytes& bytes, DocumentKind& kind, DocumentError& error);

// The pieces of a document in reading order, of the kind KindOfContent finds; false with
// `error` (its words: DocumentErrorWords) when it cannot be read, and then no pieces.
// kText gives one piece per non-empty line (kLine; lines end as ImportLines ends them), kCsv
// one per non-empty cell, kPdf one per page (its lines holding text; kPage with the line it
// starts on) but for the lines that run at the top or bottom of most pages, given once where
// first met as "页眉" or "页脚" (kPart). The memory it takes stays within a small multiple of
// `limits`' text and pieces. What the reader has to say of a document it read only in part
// (UTF-8 words, "第 3 页的图形嵌套过多，未能读完") goes to `notes` when given, none on failure.
bool ReadDocument(const Bytes& bytes, DocumentKind kind, std::vector<TextPiece>& pieces,
                  DocumentError& error, const DocumentLimits& limits = {},
                  std::vector<std::string>* notes = nullptr);

// What the zero bytes of a file say of it: none, a stray few in text, UTF-16 without its
// byte-order mark (ASCII's zero in every other byte), or binary.
enum class ZeroBytes { kNone, kStray, kUtf16Le, kUtf16Be, kBinary };
ZeroBytes ZeroBytesOf(std::string_view raw);

// A file's text as UTF-8: UTF-8 (byte-order mark dropped), UTF-16 LE/BE after a byte-order
// mark or by its zero bytes, else GBK when the bytes are not mostly UTF-8 but are valid GBK, else
// UTF-8 with one
// "?" per maximal invalid sequence (zero bytes count as invalid). Mostly UTF-8: no invalid
// sequence, or at least twice as many valid sequences of three or four bytes as invalid ones.
std::string DecodeTextFile(const Bytes& bytes);

}  // namespace kelvaro
