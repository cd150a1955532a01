// The window's batch and removal on many rows, with the main window shown on the
// offscreen platform: the batch as the query button runs it (until its last worker has
// ended), then every row marked 现行 and removed as the removal button removes it.
// Usage: kelvaro_bench_window SITE FILE SPEED     Prints key=value lines.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <cstdio>
#include <string>

#include "batch_window.h"
#include "qt/program.h"
#include "query/number.h"
#include "rows/import.h"
#include "site/standard_site.h"

int main(int argc, char** argv) {
  kelvaro::bench::BatchWindow bench(argc, argv);
  if (bench.failure() != 0) return bench.failure();
  kelvaro::ProgramContext& context = bench.context();
  QApplication::processEvents();
  kelvaro::ResultTable& table = context.table();
  const int rows = table.RowCount();
  const int status = kelvaro::ColumnIndex(kelvaro::Column::kStatus);

  kelvaro::BatchSession& batch = context.session();
  QElapsedTimer clock;
  clock.start();
  batch.StartBatchQuery(
      context.window->control_as<QLineEdit>(kelvaro::kSpeedBox)->text().toStdString());
  batch.WaitForWorkers();
  QApplication::processEvents();
  const double batch_seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;

  int found = 0;
  int empty = 0;
  for (int row = 0; row < rows; ++row) {
    const kelvaro::Text word = table.GetCellText(row, status);
    if (word.empty()) ++empty;
    if (word == kelvaro::StatusWord(kelvaro::Status::kCurrent) ||
        word == kelvaro::StatusWord(kelvaro::Status::kSuperseded))
      ++found;
  }

  for (int row = 0; row < rows; ++row)
    table.SetCellText(row, status, kelvaro::StatusWord(kelvaro::Status::kCurrent));
  QApplication::processEvents();
  clock.restart();
  batch.RemoveRowsWithStatus(kelvaro::StatusWord(kelvaro::Status::kCurrent));
  batch.WaitForWorkers();
  QApplication::processEvents();
  const double removal_seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;

  std::printf(
      "rows=%d\nfinished_rows=%d\nrows_found=%d\nrows_without_status=%d\n"
      "batch_seconds=%.3f\nremoval_seconds=%.3f\nrows_left=%d\n",
      rows, batch.FinishedRows(), found, empty, batch_seconds, removal_seconds, table.RowCount());
  std::fflush(stdout);
  return 0;
}
