#include <string>
#include <string_view>

#include "cli/cli.h"
#include "cli/commands.h"
#include "document/readers/read_document.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/files.h"
#include "query/changes.h"
#include "query/marking.h"

namespace kelvaro::cli {
namespace {

std::string_view AsText(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

ChangeFormat ChangeFormatOf(Format format) {
  if (format == Format::kCsv) return ChangeFormat::kCsv;
  if (format == Format::kJson) return ChangeFormat::kJson;
  return ChangeFormat::kTsv;
}

// A folder's documents, each .docx and .xlsx marked into the new folder OUT.
int MarkFolder(const Options& options, const Site& site) {
  if (platform::PathExists(options.output)) {
    PrintError(options.output + " exists: give mark a new folder for the marked copies");
    return kExitUsage;
  }
  RowStore table;
  FolderListing folder;
  if (!ImportOperand(options, nullptr, table, &folder)) return kExitUsage;
  std::string why;
  if (!platform::MakeDirectories(options.output, why)) {
    PrintError("cannot make " + options.output + ": " + why);
    return kExitFailure;
  }
  return LookUpRows(options, site, table, [&](BatchSession&, const Rows& looked_up, bool&) {
    if (EveryLookupFailed(looked_up)) {
      PrintError(kNothingLookedUp);
      return kExitSiteFailed;
    }
    const FolderMarks marks = MarkFolderDocuments(folder.documents, looked_up, options.output,
                                                  options.replace, platform::UtcTimeText());
    for (const std::string& note : marks.notes) PrintError("warning: not marked: " + note);
    PrintError(std::to_string(marks.written) + " marked copies written to " + options.output);
    return marks.failed > 0 ? kExitFailure : kExitOk;
  });
}

}  // namespace

int RunMark(const Options& options, const Site& site) {
  if (OperandIsFolder(options)) return MarkFolder(options, site);
  const DocumentKind kind = OperandKind(options);
  if (!CanMark(kind)) {
    PrintError("mark takes a .docx or .xlsx FILE; for text, CSV and PDF use changes");
    return kExitUsage;
  }
  if (WritesOver(options.operand, options.output)) {
    PrintError("OUT is FILE itself: give the marked copy another name");
    return kExitUsage;
  }
  RowStore table;
  Bytes bytes;
  if (!ImportOperand(options, &bytes, table)) return kExitUsage;
  // Read for what its bytes are, a renamed .doc or .xls is not marked: said before the lookups.
  DocumentKind content = kind;
  DocumentError unread = DocumentError::kNone;
  if (KindOfContent(bytes, content, unread) && !CanMark(content)) {
    PrintError("cannot mark " + options.operand +
               ": it is a Word or Excel 97-2003 file; save it as .docx or .xlsx, or use changes");
    return kExitUsage;
  }
  // Refused before the site is asked: no lookups for a copy that will not be made.
  if (DocumentError error = DocumentError::kNone; !CanMarkDocument(bytes, kind, error)) {
    PrintError("cannot mark " + options.operand + ": " + DocumentErrorWords(error));
    return kExitUsage;
  }
  if (!OutputFolderWritable(options)) return kExitFailure;
  return LookUpRows(options, site, table, [&](BatchSession&, const Rows& looked_up, bool&) {
    if (EveryLookupFailed(looked_up)) {
      PrintError(kNothingLookedUp);
      return kExitSiteFailed;
    }
    Bytes marked;
    DocumentError error = DocumentError::kNone;
    if (!MarkDocument(bytes, kind, looked_up, options.replace, platform::UtcTimeText(), marked,
                      error)) {
      PrintError("cannot mark " + options.operand + ": " + DocumentErrorWords(error));
      // A copy we made that failed is no fault of the operand's.
      return error == DocumentError::kCopyUnreadable ? kExitFailure : kExitUsage;
    }
    return WriteResult(options, AsText(marked));
  });
}

int RunChanges(const Options& options, const Site& site) {
  if (OutputRefused(options)) return kExitUsage;
  RowStore table;
  if (!ImportOperand(options, nullptr, table)) return kExitUsage;
  if (!OutputFolderWritable(options)) return kExitFailure;
  return LookUpRows(options, site, table, [&](BatchSession&, const Rows& looked_up, bool&) {
    if (EveryLookupFailed(looked_up)) {
      PrintError(kNothingLookedUp);
      return kExitSiteFailed;
    }
    if (options.format != Format::kXlsx) {
      return WriteResult(options,
                         FormatChanges(ChangeList(looked_up), ChangeFormatOf(options.format)));
    }
    const XlsxWorkbook workbook =
        WriteXlsx(ChangeSheet(looked_up), OperandPrintInfo(options, looked_up, site));
    const int written = WriteResult(options, AsText(workbook.bytes));
    if (written == kExitOk && workbook.cells_cut > 0) PrintError(CellsCutText(workbook.cells_cut));
    return written;
  });
}

}  // namespace kelvaro::cli
