// The commands, and what they use to read and print.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "cli/options.h"
#include "cli/table_output.h"
#include "document/document.h"
#include "rows/folder.h"
#include "rows/row_store.h"
#include "session/batch_session.h"
#include "site/standard_site.h"
#include "text/text.h"

namespace kelvaro::cli {

// Each returns the exit code; those that look standards up ask `site`.
int RunCheck(const Options& options, const Site& site);
int RunBatch(const Options& options, const Site& site);
int RunExtract(const Options& options);
int RunMark(const Options& options, const Site& site);
int RunChanges(const Options& options, const Site& site);
// What the lookup store holds for the operand's standard, newest first.
int RunHistory(const Options& options);

// The operand's rows in `table`; false, said on stderr, when it cannot be read or its rows
// are more than the output holds. `keep`: where the operand's bytes go, when wanted. A folder
// gives the rows of every document under it (each document that cannot be read said on
// stderr and passed over), and its documents in `folder` when wanted.
bool ImportOperand(const Options& options, Bytes* keep, RowStore& table,
                   FolderListing* folder = nullptr);
// Whether the operand is a folder of documents.
bool OperandIsFolder(const Options& options);
// What a command writes once its rows are looked up (`looked_up`), while signals wait; it
// may clear `all_ended` when it left workers running. Returns the exit code.
using WriteLookedUp =
    std::function<int(BatchSession& session, const Rows& looked_up, bool& all_ended)>;
// The table's rows looked up on `site` as batch does them (--speed, --retry, interrupts),
// then `write`, then the summary line; the exit code as batch's.
int LookUpRows(const Options& options, const Site& site, RowStore& table,
               const WriteLookedUp& write);

// Whether the site was asked for some row and answered none of them.
bool EveryLookupFailed(const Rows& rows);

// What a workbook of `rows` says on its printed pages: the operand's name (none for standard
// input), the check's day and the site.
XlsxPrintInfo OperandPrintInfo(const Options& options, const Rows& rows, const Site& site);
// Said instead of writing a copy or change list of nothing but failures.
inline constexpr const char* kNothingLookedUp =
    "the site could not be asked for any row: nothing written";

// "kelvaro-cli: <line>" on stderr.
void PrintError(const std::string& line);
// Writes all of `utf8` to stdout; on failure says so on stderr. Returns kExitOk or
// kExitFailure.
int WriteOutput(const std::string& utf8);
// Writes `data` to options.output (whole or not at all), else to stdout; on failure says so
// on stderr. Returns kExitOk or kExitFailure.
int WriteResult(const Options& options, std::string_view data);

// The bytes of the operand: the file, or standard input for "-"; false with the reason.
bool ReadOperand(const Options& options, Bytes& bytes, std::string& error);
// The kind of document the operand is: by its extension; standard input is text.
DocumentKind OperandKind(const Options& options);
// "cannot read FILE: why" on stderr ("standard input" for "-").
void PrintUnreadable(const Options& options, const std::string& why);
// Whether options.output's folder takes a new file; says on stderr why not. Asked before a
// long batch, so that its rows are not looked up for nothing.
bool OutputFolderWritable(const Options& options);
// Whether the output asked for cannot be written (a workbook to a terminal); says on stderr
// why.
bool OutputRefused(const Options& options);

}  // namespace kelvaro::cli
