// A PDF text reader of our own: each page's lines in reading order, with where they stand.
// Reads the cross-reference (also broken ones), object streams, Flate/LZW/ASCII filters,
// the standard security handler with an empty user password, simple and composite fonts
// (ToUnicode, base encodings, predefined Chinese and Unicode CMaps) and Form XObjects.
// Images, annotations and the glyph programs of fonts are not read.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/pdf/file.h"
#include "document/pdf/layout.h"

namespace kelvaro {

using PdfLimits = pdf::Limits;

struct PdfPage {
  double width = 0;  // of the page as shown
  double height = 0;
  std::vector<PdfLine> lines;  // top to bottom; text turned sideways after the upright lines

  // The lines joined by "\n".
  std::string Text() const;
};

// The pages of a PDF held in memory, one entry per page, in page order. False with the
// reason (document/errors.h): "不是 PDF 文档", "文件已加密" for one that needs a password,
// "文件已损坏" when no page tree can be found, "解压后过大" or "PDF 内容过于复杂" past the limits.
// A page drawing forms more than `limits.max_form_draws` times (forms inside forms counted
// each time they are drawn) keeps the text read before that and the others are read: its
// number (from 1) goes to `cut_short` when given.
bool ReadPdfText(std::span<const std::uint8_t> pdf, std::vector<PdfPage>& pages,
                 DocumentError& error, const PdfLimits& limits = {},
                 std::vector<int>* cut_short = nullptr);

// The pages (numbered from 1, in page order) that draw forms more than
// `limits.max_form_draws` times, found without running them. `page_count` is how many pages
// this reader found; a file it cannot open has none.
std::vector<int> PagesPastFormBounds(std::span<const std::uint8_t> pdf, int& page_count,
                                     const PdfLimits& limits = {});

}  // namespace kelvaro
