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

// Whether `copy` reads back: our own reader takes it as `kind`; every written part is
// well-formed XML whose elements all stand in a declared namespace, every prefixed attribute
// too; and each comment range and reference in them stands in the commentable part and names
// a comment of the comments part, each range opened once.
bool CopyReadsBack(const Bytes& copy, DocumentKind kind, const WrittenParts& written,
                   const DocumentLimits& limits = {});

}  // namespace kelvaro
