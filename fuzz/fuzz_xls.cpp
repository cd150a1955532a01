// The Excel 97-2003 reader on any Workbook stream, put in a sound compound file. No crash;
// pieces are non-empty UTF-8 in sheet cells whose name matches their row and column, rows in
// order within a sheet; a refusal has a reason and no piece.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/readers/read_document.h"
#include "fuzz_support.h"
#include "support/compound_builder.h"
#include "text/encoding.h"

namespace {

std::string CellName(int column, int row) {
  std::string letters;
  for (int c = column; c > 0; c = (c - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  }
  return letters + std::to_string(row);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string stream(reinterpret_cast<const char*>(data), size);
  const kelvaro::Bytes file = kelvaro::test::BuildCompound({{"Workbook", stream}}).AsBytes();
  std::vector<kelvaro::TextPiece> pieces;
  kelvaro::DocumentError error = kelvaro::DocumentError::kNone;
  if (!kelvaro::ReadDocument(file, kelvaro::DocumentKind::kXls, pieces, error)) {
    FUZZ_EXPECT(error != kelvaro::DocumentError::kNone, "refused without a reason");
    FUZZ_EXPECT(pieces.empty(), "refused with pieces");
    return 0;
  }
  FUZZ_EXPECT(error == kelvaro::DocumentError::kNone,
              std::string("read with a reason ") + kelvaro::DocumentErrorWords(error));
  const kelvaro::TextPiece* last = nullptr;
  for (const kelvaro::TextPiece& p : pieces) {
    const kelvaro::Location& at = p.location;
    FUZZ_EXPECT(!p.text.empty(), "empty piece");
    FUZZ_EXPECT(kelvaro::SanitizeUtf8(p.text) == p.text, "piece not UTF-8");
    FUZZ_EXPECT(kelvaro::SanitizeUtf8(at.sheet) == at.sheet, "sheet name not UTF-8");
    FUZZ_EXPECT(at.kind == kelvaro::Location::Kind::kSheetCell && at.row >= 1 && at.column >= 1,
                "location " + kelvaro::LocationWords(at));
    FUZZ_EXPECT(at.cell == CellName(at.column, at.row), "cell name " + at.cell);
    if (last != nullptr && last->location.sheet == at.sheet) {
      FUZZ_EXPECT(last->location.row <= at.row, "rows out of order in " + at.sheet);
    }
    last = &p;
  }
  return 0;
}
