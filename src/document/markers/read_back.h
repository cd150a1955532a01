// A marked copy read back before anyone is given it: a copy its readers cannot open is
// worse than none.
#pragma once

#include <string>
#include <vector>

#include "document/document.h"
#include "text/text.h"

namespace kelvaro {

// What the copy's maker wrote into: the parts it changed or added, and the comments part
// (empty for none) whose comments the written parts' comment marks must name.
struct WrittenParts {
  std::vector<std::string> parts;
  std::string comments;
  std::string commentable;  // the one part where comments may stand (Word's body)
};

// Whether `copy`, made from `original`, reads back: our own reader takes it as `kind`; every
// written part is there and well-formed XML; and it has no kind of fault the original's same
// parts did not have (an element outside a declared namespace, by its name, prefixed
// attributes too; revisions and comment marks without Word's id; comment ranges and
// references outside the commentable part, naming no comment of the comments part, or opened
// twice).
bool CopyReadsBack(const Bytes& copy, const Bytes& original, DocumentKind kind,
                   const WrittenParts& written, const DocumentLimits& limits = {});

}  // namespace kelvaro
