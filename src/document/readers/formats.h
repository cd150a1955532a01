// The readers of each kind of document, behind ReadDocument.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "document/document.h"
#include "document/errors.h"

namespace kelvaro::formats {

using Budget = DocumentBudget;

// Each gives false with the reason in `error`, or with none for a damaged file.
bool ReadText(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
              DocumentError& error);
bool ReadCsv(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
             DocumentError& error);
bool ReadDocx(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
              DocumentError& error);
bool ReadXlsx(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
              DocumentError& error);
bool ReadPdf(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
             DocumentError& error);
// Word and Excel 97-2003 and WPS files in Word's format (binary_office.cpp).
bool ReadDoc(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
             DocumentError& error);
bool ReadXls(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
             DocumentError& error);
bool ReadWps(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
             DocumentError& error);

using Reader = bool (*)(const Bytes&, Budget&, std::vector<TextPiece>&, DocumentError&);

// A kind of document: a new format is its reader and one entry of Formats().
struct Format {
  DocumentKind kind;
  std::vector<std::string_view> extensions;  // lower case, no dot; the first names it
  // The import dialog's name for it (UTF-8), kinds of one name offered together; null: not
  // offered.
  const char* label;
  Reader read;  // null: no reader, its bytes are read for what they are
  // An old Office name, under which other kinds are saved too: its bytes are read for what
  // they are, and refused with this when they are none that is read (compound files its
  // reader does not take among them). kNone for the others.
  DocumentError unread;
};
const std::vector<Format>& Formats();
const Format& FormatOf(DocumentKind kind);

// A heading or caption as a place's name: on one line, and not past a few dozen characters.
std::string PlaceName(std::string_view text);

}  // namespace kelvaro::formats
