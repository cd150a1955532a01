// A copy of a Word document (.docx) with its citations marked: a comment and a shading on
// each citation that needs the reader's attention, and, where asked, its number and title
// replaced as tracked changes. Every part that holds no marked citation is copied byte for
// byte.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "citation/citation.h"
#include "document/cell_fill.h"
#include "document/document.h"
#include "text/text.h"

namespace kelvaro {

// What one citation gets. Nothing to do at all is no mark (the decider gives nullopt).
struct CitationMark {
  std::string comment;              // UTF-8; a Word comment on the citation; empty: none
  CellFill fill = CellFill::kNone;  // the citation's shading, of the table's colours
  std::string number;  // UTF-8; replaces the number as written with its edition note; empty: kept
  std::string title;   // UTF-8, without 《》; replaces the cited title; empty: kept
  bool operator==(const CitationMark&) const = default;
};

// Who marks, and when: the comments' and tracked changes' author and date.
struct MarkAuthor {
  std::string name = "Kelvaro";
  std::string date;  // ISO 8601, "2026-12-09T15:04:05Z"
};

// Each citation the reader finds in the document, in reading order, as FindCitations gives it.
using MarkDecider = std::function<std::optional<CitationMark>(const Citation&)>;

struct MarkedDocument {
  Bytes bytes;
  int marked = 0;  // citations marked
};

// The marked copy of `docx`: the body, headers, footers, footnotes and endnotes, wherever a
// citation stands (a paragraph, a table cell, split across runs, beside fields and
// bookmarks). False with the reader's reason when the document cannot be read or is refused;
// then `out` is left empty.
bool MarkDocx(const Bytes& docx, const MarkDecider& decide, const MarkAuthor& author,
              MarkedDocument& out, DocumentError& error, const DocumentLimits& limits = {});

}  // namespace kelvaro
