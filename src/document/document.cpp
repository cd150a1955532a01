#include "document/document.h"

#include <algorithm>
#include <string_view>

namespace kelvaro {

Location LocationAt(const TextPiece& piece, std::size_t offset) {
  Location at = piece.location;
  if (at.kind == Location::Kind::kPage && at.line > 0) {
    const std::size_t end = std::min(offset, piece.text.size());
    at.line += static_cast<int>(std::count(
        piece.text.begin(), piece.text.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
  }
  return at;
}

bool DocumentBudget::Take(std::size_t bytes) {
  if (items_ >= limits_.max_pieces || !Fits(bytes)) return false;
  ++items_;
  text_ += bytes;
  return true;
}

bool DocumentBudget::Grow(std::size_t bytes) {
  if (!Fits(bytes)) return false;
  text_ += bytes;
  return true;
}

bool DocumentBudget::Add(std::vector<TextPiece>& pieces, TextPiece&& piece) {
  const Location& at = piece.location;
  if (!Take(piece.text.size() + at.sheet.size() + at.cell.size() +
            std::string_view(PartWords(at.part)).size() + at.heading.size() + at.caption.size()))
    return false;
  pieces.push_back(std::move(piece));
  return true;
}

}  // namespace kelvaro
