// ReadDocument on any bytes, the first byte choosing the kind: no crash; a document read
// gives non-empty UTF-8 pieces whose locations belong to the kind its bytes are read as
// (KindOfContent) and count from 1; a refusal gives a reason and no piece.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/readers/read_document.h"
#include "fuzz_support.h"
#include "rows/import.h"
#include "text/encoding.h"

namespace {

using kelvaro::DocumentKind;
using Kind = kelvaro::Location::Kind;

bool Belongs(DocumentKind document, const kelvaro::Location& at) {
  switch (document) {
    case DocumentKind::kText:
      return at.kind == Kind::kLine && at.line >= 1;
    case DocumentKind::kCsv:
      return at.kind == Kind::kCsvCell && at.row >= 1 && at.column >= 1;
    case DocumentKind::kDocx:
      return (at.kind == Kind::kParagraph && at.paragraph >= 1) ||
             (at.kind == Kind::kTableCell && at.table >= 1 && at.row >= (at.below_header ? 0 : 1) &&
              at.column >= 1) ||
             (at.kind == Kind::kPart && at.paragraph >= 1 &&
              at.part != kelvaro::Location::Part::kNone);
    case DocumentKind::kXlsx:
      return at.kind == Kind::kSheetCell && at.row >= 1 && at.column >= 1 && !at.cell.empty();
    case DocumentKind::kPdf:
      return at.kind == Kind::kPage && at.page >= 1;
    case DocumentKind::kDoc:  // a compound file: Word or Excel 97-2003 whatever the name
    case DocumentKind::kXls:
    case DocumentKind::kWps:
      return Belongs(DocumentKind::kDocx, at) || Belongs(DocumentKind::kXlsx, at);
    case DocumentKind::kPpt:  // read as what its bytes are, never as itself
      return false;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto named = static_cast<DocumentKind>(data[0] % 9);
  const kelvaro::Bytes bytes(data + 1, data + size);
  std::vector<kelvaro::TextPiece> pieces;
  kelvaro::DocumentError error = kelvaro::DocumentError::kNone;
  const std::string context = "kind " + std::to_string(data[0] % 9);
  DocumentKind kind = named;
  kelvaro::DocumentError refusal = kelvaro::DocumentError::kNone;
  const bool readable = kelvaro::KindOfContent(bytes, kind, refusal);
  if (!kelvaro::ReadDocument(bytes, named, pieces, error)) {
    FUZZ_EXPECT(error != kelvaro::DocumentError::kNone, context + ": refused without a reason");
    FUZZ_EXPECT(pieces.empty(), context + ": refused with pieces");
    FUZZ_EXPECT(readable || error == refusal, context + ": refused for another reason");
    return 0;
  }
  FUZZ_EXPECT(readable, context + ": read what KindOfContent refuses");
  FUZZ_EXPECT(error == kelvaro::DocumentError::kNone,
              context + ": read with a reason " + kelvaro::DocumentErrorWords(error));
  int last_line = 0;
  for (const kelvaro::TextPiece& p : pieces) {
    FUZZ_EXPECT(!p.text.empty(), context + ": empty piece");
    FUZZ_EXPECT(kelvaro::SanitizeUtf8(p.text) == p.text, context + ": piece not UTF-8");
    FUZZ_EXPECT(Belongs(kind, p.location),
                context + ": location " + kelvaro::LocationWords(p.location));
    FUZZ_EXPECT(!kelvaro::LocationWords(p.location).empty(), context + ": no words");
    if (kind == DocumentKind::kText) {
      FUZZ_EXPECT(p.location.line > last_line, context + ": lines out of order");
      last_line = p.location.line;
    }
  }
  (void)kelvaro::ExportedNumberColumn(pieces);
  return 0;
}
