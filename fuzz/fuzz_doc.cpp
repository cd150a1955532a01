// The Word 97-2003 reader on any WordDocument and table streams, put in a sound compound
// file: the first two bytes give the table stream's length, which follows; the rest is the
// WordDocument stream. No crash; pieces are non-empty UTF-8 at paragraphs, cells or parts
// counted from 1 (a table's header row is its row 0 when its rows are counted without it); a
// refusal has a reason and no piece.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/readers/read_document.h"
#include "fuzz_support.h"
#include "support/compound_builder.h"
#include "text/encoding.h"

using Kind = kelvaro::Location::Kind;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t table_size = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
  const std::string table(reinterpret_cast<const char*>(data + 2), table_size);
  const std::string word(reinterpret_cast<const char*>(data + 2 + table_size),
                         size - 2 - table_size);
  const kelvaro::Bytes file =
      kelvaro::test::BuildCompound({{"WordDocument", word}, {"1Table", table}, {"0Table", table}})
          .AsBytes();
  std::vector<kelvaro::TextPiece> pieces;
  kelvaro::DocumentError error = kelvaro::DocumentError::kNone;
  if (!kelvaro::ReadDocument(file, kelvaro::DocumentKind::kDoc, pieces, error)) {
    FUZZ_EXPECT(error != kelvaro::DocumentError::kNone, "refused without a reason");
    FUZZ_EXPECT(pieces.empty(), "refused with pieces");
    return 0;
  }
  FUZZ_EXPECT(error == kelvaro::DocumentError::kNone,
              std::string("read with a reason ") + kelvaro::DocumentErrorWords(error));
  for (const kelvaro::TextPiece& p : pieces) {
    const kelvaro::Location& at = p.location;
    FUZZ_EXPECT(!p.text.empty(), "empty piece");
    FUZZ_EXPECT(kelvaro::SanitizeUtf8(p.text) == p.text, "piece not UTF-8");
    FUZZ_EXPECT((at.kind == Kind::kParagraph && at.paragraph >= 1) ||
                    (at.kind == Kind::kTableCell && at.table >= 1 &&
                     at.row >= (at.below_header ? 0 : 1) && at.column >= 1) ||
                    (at.kind == Kind::kPart && at.paragraph >= 1 &&
                     at.part != kelvaro::Location::Part::kNone),
                "location " + kelvaro::LocationWords(at));
  }
  return 0;
}
