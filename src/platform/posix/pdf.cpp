// PDF text by poppler, whose text layer puts a page's words in reading order.
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page.h>

#include <climits>
#include <memory>
#include <string_view>

#include "document/reasons.h"
#include "platform/pdf.h"

namespace kelvaro::platform {

namespace {

// Poppler reports every damaged object on stderr; the caller gets one reason instead.
void Quiet(const std::string&, void*) {}

// A PDF starts with "%PDF-", though readers allow some bytes before it.
bool LooksLikePdf(const Bytes& pdf) {
  const std::string_view head(reinterpret_cast<const char*>(pdf.data()),
                              pdf.size() < 1024 ? pdf.size() : 1024);
  return head.find("%PDF-") != std::string_view::npos;
}

}  // namespace

bool ReadPdfPages(const Bytes& pdf, std::vector<std::string>& pages_utf8, std::string& error) {
  pages_utf8.clear();
  error.clear();
  if (!LooksLikePdf(pdf)) {
    error = reason::kNotPdf;
    return false;
  }
  if (pdf.size() > static_cast<std::size_t>(INT_MAX)) {
    error = reason::kDamaged;
    return false;
  }
  poppler::set_debug_error_function(Quiet, nullptr);
  std::unique_ptr<poppler::document> document(poppler::document::load_from_raw_data(
      reinterpret_cast<const char*>(pdf.data()), static_cast<int>(pdf.size())));
  if (!document) {
    // Poppler loads an encrypted file it cannot open as null too; its dictionary says which.
    const std::string_view all(reinterpret_cast<const char*>(pdf.data()), pdf.size());
    error = all.find("/Encrypt") != std::string_view::npos ? reason::kEncrypted : reason::kDamaged;
    return false;
  }
  if (document->is_locked()) {
    error = reason::kEncrypted;
    return false;
  }
  const int count = document->pages();
  for (int i = 0; i < count; ++i) {
    std::unique_ptr<poppler::page> page(document->create_page(i));
    if (!page) {
      pages_utf8.emplace_back();
      continue;
    }
    const poppler::byte_array utf8 =
        page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
    pages_utf8.emplace_back(utf8.begin(), utf8.end());
  }
  return true;
}

}  // namespace kelvaro::platform
