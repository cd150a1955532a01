#include <string>
#include <vector>

#include "cli/citation_output.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "document/document.h"
#include "query/import.h"

namespace kelvaro::cli {

int RunExtract(const Options& options) {
  if (!OutputFolderWritable(options)) return kExitFailure;
  Bytes bytes;
  std::string error;
  std::vector<TextPiece> pieces;
  // Every kind as a document: a .txt too gives its citations, not its lines.
  if (!ReadOperand(options, bytes, error) ||
      !ReadDocument(bytes, OperandKind(options), pieces, error)) {
    PrintUnreadable(options, error);
    return kExitUsage;
  }
  Bytes().swap(bytes);
  return WriteResult(options, FormatCitations(options.format, CitationRows(pieces)));
}

}  // namespace kelvaro::cli
