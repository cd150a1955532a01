// PDF text by poppler, whose text layer puts a page's words in reading order.
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

bool IsLayoutSpace(char c) { return c == ' ' || c == '\n'; }

// Poppler's page text drops the "-" that ends a line and joins the next line on
// ("GB 50010-" and "2010" become "GB 500102010"); its word list, in the same order, keeps
// the hyphen. Walking both puts the hyphen and the line break back where the next word
// follows the stem at once. A word the text does not hold at that point (text outside the
// crop box is listed all the same) is passed over.
std::string WithLineEndHyphens(const std::string& text,
                               const std::vector<poppler::text_box>& boxes) {
  std::vector<std::string> words;
  words.reserve(boxes.size());
  for (const poppler::text_box& box : boxes) {
    if (std::string word = Utf8(box.text()); !word.empty()) words.push_back(std::move(word));
  }
  std::string out;
  out.reserve(text.size() + 64);
  std::size_t pos = 0;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    std::size_t at = pos;
    while (at < text.size() && IsLayoutSpace(text[at])) ++at;
    if (text.compare(at, word.size(), word) == 0) {
      out.append(text, pos, at + word.size() - pos);
      pos = at + word.size();
      continue;
    }
    const std::size_t stem = word.size() - 1;
    if (word.back() == '-' && i + 1 < words.size() && text.compare(at, stem, word, 0, stem) == 0 &&
        text.compare(at + stem, words[i + 1].size(), words[i + 1]) == 0) {
      out.append(text, pos, at + stem - pos);
      out += "-\n";
      pos = at + stem;
    }
  }
  out.append(text, pos);
  return out;
}

}  // namespace

bool ReadPdfPages(const Bytes& pdf, std::vector<std::string>& pages_utf8, DocumentError& error) {
  pages_utf8.clear();
  error = DocumentError::kNone;
  if (!LooksLikePdf(pdf)) {
    error = DocumentError::kNotPdf;
    return false;
  }
  if (pdf.size() > static_cast<std::size_t>(INT_MAX)) {
    error = DocumentError::kDamaged;
    return false;
  }
  // Poppler draws every form each time it is named, and never ends on forms that fan out.
  if (!PdfFormsWithinBounds(pdf, error)) return false;
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
  for (int i = 0; i < count; ++i) {
    std::unique_ptr<poppler::page> page(document->create_page(i));
    if (!page) {
      pages_utf8.emplace_back();
      continue;
    }
    pages_utf8.push_back(WithLineEndHyphens(
        Utf8(page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout)),
        page->text_list()));
  }
  return true;
}

}  // namespace kelvaro
