// Pieces as one line for tables of expected results: "words=text;" each.
#pragma once

#include <string>
#include <vector>

#include "document/document.h"

namespace kelvaro::test {

inline std::string Describe(const std::vector<TextPiece>& pieces) {
  std::string out;
  for (const TextPiece& p : pieces) out += LocationWords(p.location) + "=" + p.text + ";";
  return out;
}

// The document's pieces described, or "error: <reason>" (then no piece may be left).
inline std::string Read(const Bytes& bytes, DocumentKind kind, const DocumentLimits& limits = {}) {
  std::vector<TextPiece> pieces{{"left over", {}}};
  std::string error = "left over";
  if (!ReadDocument(bytes, kind, pieces, error, limits)) {
    return pieces.empty() ? "error: " + error : "error with pieces: " + error;
  }
  return error.empty() ? Describe(pieces) : "error text on success: " + error;
}

}  // namespace kelvaro::test
