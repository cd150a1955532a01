// A document as its readers give it: pieces of UTF-8 text, each with where it stands, in
// reading order, and what reading one may take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
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

// What a document has given and made the reader hold so far, against its limits.
class DocumentBudget {
 public:
  explicit DocumentBudget(const DocumentLimits& limits) : limits_(limits) {}
  const DocumentLimits& Limits() const { return limits_; }
  // Whether text of `bytes` could still be taken.
  bool Fits(std::size_t bytes) const { return bytes <= limits_.max_text - text_; }
  // Takes one more item of `bytes`: false, taking nothing, when it would pass the limits.
  bool Take(std::size_t bytes);
  // Takes `bytes` more for items already taken: false, taking nothing, past the limits.
  bool Grow(std::size_t bytes);
  // Appends `piece` when the budget takes it (its text and location's names).
  bool Add(std::vector<TextPiece>& pieces, TextPiece&& piece);
  // What a reader has to say of a document it read only in part: UTF-8 words for the user.
  void Note(std::string words) { notes_.push_back(std::move(words)); }
  std::vector<std::string> TakeNotes() { return std::move(notes_); }

 private:
  DocumentLimits limits_;
  std::size_t text_ = 0;
  std::size_t items_ = 0;
  std::vector<std::string> notes_;
};

}  // namespace kelvaro
