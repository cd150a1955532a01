// PDF text by poppler: its words, where they stand on the page, made lines as ours are.
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page.h>

#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/errors.h"
#include "document/pdf/layout.h"
#include "document/pdf/pdf.h"
#include "document/pdf/reader.h"

namespace kelvaro {

namespace {

// Poppler reports every damaged object on stderr; the caller gets one reason instead.
void Quiet(const std::string&, void*) {}

// A PDF starts with "%PDF-", though readers allow some bytes before it.
bool LooksLikePdf(const Bytes& pdf) {
  const std::string_view head(reinterpret_cast<const char*>(pdf.data()),
                              pdf.size() < 1024 ? pdf.size() : 1024);
  return head.find("%PDF-") != std::string_view::npos;
}

std::string Utf8(const poppler::ustring& text) {
  const poppler::byte_array utf8 = text.to_utf8();
  return std::string(utf8.begin(), utf8.end());
}

// A page's words made lines as the engine of our own makes its characters (layout.h): text
// on one baseline is one line, however many cells or columns it crosses. Poppler's own layout
// makes each cell a line, and the lines counted would not be those a reader sees.
std::string PageText(const poppler::page& page) {
  // Without the fonts' details: asking them looks every font up in the system's (fontconfig).
  const std::vector<poppler::text_box> boxes = page.text_list();
  std::vector<pdf::PlacedRun> words;
  words.reserve(boxes.size());
  for (const poppler::text_box& box : boxes) {
    std::string text = Utf8(box.text());
    if (text.empty()) continue;
    // Poppler's boxes stand in the page as shown, y growing downwards; the baseline is taken
    // as the box's edge below the glyphs.
    const poppler::rectf r = box.bbox();
    const double left = r.left(), right = r.right(), top = r.top(), bottom = r.bottom();
    pdf::PlacedChar word;
    word.rotation = ((box.rotation() % 4) + 4) % 4;
    switch (word.rotation) {
      case 0:  // left to right
        word.along = left, word.end = right, word.across = -bottom;
        break;
      case 1:  // top to bottom, the glyphs' tops to the right
        word.along = top, word.end = bottom, word.across = left;
        break;
      case 2:  // right to left, upside down
        word.along = -right, word.end = -left, word.across = top;
        break;
      default:  // bottom to top, the glyphs' tops to the left
        word.along = -bottom, word.end = -top, word.across = -right;
        break;
    }
    // The size as the box's thickness across the writing: the font's ascent to its descent.
    word.size = word.rotation % 2 == 0 ? bottom - top : right - left;
    if (box.has_space_after()) {
      pdf::PlacedChar space = word;
      space.text = std::string(1, ' ');
      space.along = space.end;
      word.text = std::move(text);
      words.push_back({std::move(word), nullptr});
      words.push_back({std::move(space), nullptr});
    } else {
      word.text = std::move(text);
      words.push_back({std::move(word), nullptr});
    }
  }
  std::string out;
  for (const PdfLine& line : pdf::BuildLines(std::move(words))) {
    if (!out.empty()) out += '\n';
    out += line.text;
  }
  return out;
}

}  // namespace

bool ReadPdfPages(const Bytes& pdf, std::vector<std::string>& pages_utf8, DocumentError& error,
                  std::vector<int>* cut_short) {
  pages_utf8.clear();
  if (cut_short != nullptr) cut_short->clear();
  error = DocumentError::kNone;
  if (!LooksLikePdf(pdf)) {
    error = DocumentError::kNotPdf;
    return false;
  }
  if (pdf.size() > static_cast<std::size_t>(INT_MAX)) {
    error = DocumentError::kDamaged;
    return false;
  }
  // Poppler draws every form each time it is named, and never ends on forms that fan out:
  // such a page is not handed to it.
  int pages_found = 0;
  const std::vector<int> past = PagesPastFormBounds(pdf, pages_found);
  poppler::set_debug_error_function(Quiet, nullptr);
  std::unique_ptr<poppler::document> document(poppler::document::load_from_raw_data(
      reinterpret_cast<const char*>(pdf.data()), static_cast<int>(pdf.size())));
  if (!document) {
    // Poppler loads an encrypted file it cannot open as null too; its dictionary says which.
    const std::string_view all(reinterpret_cast<const char*>(pdf.data()), pdf.size());
    error = all.find("/Encrypt") != std::string_view::npos ? DocumentError::kEncrypted
                                                           : DocumentError::kDamaged;
    return false;
  }
  if (document->is_locked()) {
    error = DocumentError::kEncrypted;
    return false;
  }
  const int count = document->pages();
  // The pages left out are known by number: when the two readers count pages otherwise, the
  // document is refused rather than a page left out that poppler numbers differently.
  if (!past.empty() && pages_found != count) {
    error = DocumentError::kPdfTooComplex;
    return false;
  }
  std::size_t next_past = 0;
  for (int i = 0; i < count; ++i) {
    if (next_past < past.size() && past[next_past] == i + 1) {
      ++next_past;
      pages_utf8.emplace_back();
      if (cut_short != nullptr) cut_short->push_back(i + 1);
      continue;
    }
    std::unique_ptr<poppler::page> page(document->create_page(i));
    if (!page) {
      pages_utf8.emplace_back();
      continue;
    }
    pages_utf8.push_back(PageText(*page));
  }
  return true;
}

}  // namespace kelvaro
