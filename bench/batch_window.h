// The window both window benchmarks drive: on the offscreen platform unless told
// otherwise, shown on the batch page with the speed box set and the file's numbers
// imported.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <cstdio>
#include <string>

#include "query/current_standard.h"
#include "query/import.h"
#include "ui/program.h"

namespace kelvaro::bench {

// Prints why and returns false when the window cannot be made or the file read.
inline bool OpenBatchWindow(ProgramSession& session, const char* site, const char* file,
                            const char* speed) {
  SetSitePrefixOverride(site);
  if (!session.LoadWindow()) {
    std::fprintf(stderr, "the window could not be made\n");
    return false;
  }
  ProgramContext& context = session.context();
  context.window->tab_control()->setCurrentIndex(MainWindow::kBatchPage);
  context.window->speed_box()->setText(QString::fromLatin1(speed));
  context.window->show();
  std::string error;
  if (!ImportNumbersFromFile(context.table(), file, &error)) {
    std::fprintf(stderr, "%s: %s\n", file, error.c_str());
    return false;
  }
  return true;
}

}  // namespace kelvaro::bench
