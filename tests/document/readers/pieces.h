// Pieces as one line for tables of expected results: "words=text;" each.
#pragma once

#include <string>
#include <vector>

#include "document/readers/read_document.h"

namespace kelvaro::test {

inline std::string Describe(const std::vector<TextPiece>& pieces) {
  std::string out;
  for (const TextPiece& p : pieces) out += LocationWords(p.location) + "=" + p.text + ";";
  return out;
}

// The document's pieces described, or "error: <reason>" (then no piece may be left).
inline std::string Read(const Bytes& bytes, DocumentKind kind, const DocumentLimits& limits = {}) {
  std::vector<TextPiece> pieces{{"left over", {}}};
  DocumentError error = DocumentError::kNotText;  // left over
  if (!ReadDocument(bytes, kind, pieces, error, limits)) {
    const std::string words = DocumentErrorWords(error);
    return pieces.empty() ? "error: " + words : "error with pieces: " + words;
  }
  return error == DocumentError::kNone
             ? Describe(pieces)
             : "error on success: " + std::string(DocumentErrorWords(error));
}

}  // namespace kelvaro::test
