#include <string>
#include <vector>

#include "cli/citation_output.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "document/readers/read_document.h"
#include "rows/import.h"

namespace kelvaro::cli {

int RunExtract(const Options& options) {
  if (!OutputFolderWritable(options)) return kExitFailure;
  Bytes bytes;
  std::string error;
  DocumentError why = DocumentError::kNone;
  std::vector<TextPiece> pieces;
  std::vector<ImportedRow> rows;
  // Every kind as a document: a .txt too gives its citations, not its lines.
  if (!ReadOperand(options, bytes, error)) {
    PrintUnreadable(options, error);
    return kExitUsage;
  }
  std::vector<std::string> notes;
  if (!ReadDocument(bytes, OperandKind(options), pieces, why, {}, &notes) ||
      !AddCitationRows(pieces, rows)) {
    PrintUnreadable(
        options,
        DocumentErrorWords(why == DocumentError::kNone ? DocumentError::kContentTooLarge : why));
    return kExitUsage;
  }
  for (const std::string& note : notes) PrintError("warning: " + note);
  Bytes().swap(bytes);
  return WriteResult(options, FormatCitations(options.format, rows));
}

}  // namespace kelvaro::cli
