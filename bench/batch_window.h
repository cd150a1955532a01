// The window both window benchmarks drive, from their arguments SITE FILE SPEED: on the
// offscreen platform unless told otherwise, shown on the batch page with the speed box set
// and the file's numbers imported.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <cstdio>
#include <string>

#include "qt/program.h"
#include "rows/import.h"
#include "site/standard_site.h"

namespace kelvaro::bench {

class BatchWindow {
 public:
  BatchWindow(int& argc, char** argv) : app_(Offscreen(argc), argv) {
    if (argc != 4) {
      std::fprintf(stderr, "usage: %s SITE FILE SPEED\n", argv[0]);
      failure_ = 2;
      return;
    }
    if (!session_.LoadWindow()) {
      std::fprintf(stderr, "the window could not be made\n");
      failure_ = 1;
      return;
    }
    ProgramContext& shown = context();
    shown.logic().SetSite(SiteAt(argv[1]));
    shown.window->tab_control()->setCurrentIndex(kBatchPage);
    shown.window->control_as<QLineEdit>(kSpeedBox)->setText(QString::fromLatin1(argv[3]));
    shown.window->show();
    kelvaro::ImportError error;
    if (!ImportNumbersFromFile(shown.table(), argv[2], &error)) {
      std::fprintf(stderr, "%s: %s\n", argv[2], kelvaro::ImportErrorWords(error).c_str());
      failure_ = 1;
    }
  }

  // The exit code for main when the window is not ready (2: usage, 1: window or file); 0.
  int failure() const { return failure_; }
  ProgramContext& context() { return session_.context(); }

 private:
  static int& Offscreen(int& argc) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return argc;
  }

  QApplication app_;
  ProgramSession session_;
  int failure_ = 0;
};

}  // namespace kelvaro::bench
