// The window's event handlers: what its buttons and the Result table's double-click do.
// Each runs on the window's thread with the program's context.
#pragma once

#include <QString>
#include <Qt>
#include <vector>

#include "batch/result_table.h"

#include "text/text.h"
#include "ui/window_text.h"

namespace kelvaro {

struct ProgramContext;

// 按钮2: asks for a file (starting in ImportStartDirectory, then on the file chosen
// last) and imports it. Cancel changes nothing.
void ImportNumbers(ProgramContext& context);
// Replaces the Result table with the lines of `path` (按钮2's choice, a file dropped on
// the table); a file that cannot be read leaves the table and is reported.
void ImportFile(ProgramContext& context, const QString& path);

// 按钮3: one query worker per row, at most the speed box's number running at once.
void StartBatchQueryFromWindow(ProgramContext& context);

// 按钮4 (现行) and 按钮5 (有新标准): removes every row whose status is `target_word`.
void RemoveRowsWithStatusFromWindow(ProgramContext& context, const Text& target_word);

// 按钮1: looks the number box's number up off the window's thread and writes the report
// into 编辑框2, the button disabled meanwhile.
void ShowSingleQueryReport(ProgramContext& context);

// Double-click in the Result table at (x, y) in the view's viewport: the cell's text goes
// to the clipboard as plain text (empty text below the last row).
void CopyCellOnDoubleClick(ProgramContext& context, int x, int y, Qt::KeyboardModifiers keys);

// The Result table's context menu: the selected row, or every row under the header,
// as tab-separated lines on the clipboard; the table as a CSV file the user names; a
// second batch over the rows left 未知 because the site could not be asked or the
// lookup was ended.
void CopySelectedRow(ProgramContext& context);
void CopyAllRows(ProgramContext& context);
void ExportCsv(ProgramContext& context);
void RequeryFailedRows(ProgramContext& context);

// 按钮3's tooltip: how many rows the site could not be asked for, and how to try again.
void UpdateRetryHint(ProgramContext& context);

// Bindings, called by InstallHandlers.
void InstallImportHandler(ProgramContext& context);
void InstallBatchHandlers(ProgramContext& context);
void InstallSingleQueryHandler(ProgramContext& context);
void InstallCopyHandler(ProgramContext& context);
void InstallTableMenuHandlers(ProgramContext& context);

}  // namespace kelvaro
