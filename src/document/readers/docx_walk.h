// The Word reader's walk through a .docx, open to a caller that needs to know where in each
// part the text of a paragraph came from (the marked copy).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "document/containers/package.h"
#include "document/readers/formats.h"

namespace kelvaro::formats {

// Told of each part, event and piece of text as the reader builds its units: a paragraph,
// or in the body a cell of a table.
class DocxTrace {
 public:
  virtual ~DocxTrace() = default;
  // A part's walk begins; `comments`: whether Word allows comments in it.
  virtual void Part(std::string_view name, bool comments) = 0;
  // Every event of the part, before the reader takes it.
  virtual void Event(const package::PartReader& reader, XmlReader::Event e) = 0;
  // `size` bytes put at `at` of the unit's text, from the last event: a text, or an element
  // that stands for a character (a tab, a break).
  virtual void Appended(std::size_t at, std::size_t size) = 0;
  // The unit's text as the reader gives it; empty when the unit is dropped.
  virtual void Unit(const std::string& text) = 0;
};

// ReadDocx, telling `trace` (when not null) what it reads.
bool WalkDocx(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
              DocumentError& error, DocxTrace* trace);

}  // namespace kelvaro::formats
