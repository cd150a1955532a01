// The window's model filled by the import routine from a file, either alone or shown
// by the main window on the offscreen platform: time and memory.
// Usage: kelvaro_bench_table model|view FILE     Prints key=value lines.
#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTreeView>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "memory.h"
#include "qt/program.h"
#include "qt/result_table_model.h"
#include "rows/import.h"

namespace {

void SettleEvents() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "model") != 0 && std::strcmp(argv[1], "view") != 0)) {
    std::fprintf(stderr, "usage: %s model|view FILE\n", argv[0]);
    return 2;
  }
  const bool with_view = std::strcmp(argv[1], "view") == 0;
  const std::string path = argv[2];
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  std::unique_ptr<kelvaro::ProgramSession> session;
  std::unique_ptr<kelvaro::ResultTableModel> lone_model;
  kelvaro::ResultTableModel* model = nullptr;
  if (with_view) {
    session = std::make_unique<kelvaro::ProgramSession>();
    if (!session->LoadWindow()) {
      std::fprintf(stderr, "the window could not be made\n");
      return 1;
    }
    kelvaro::MainWindow* window = session->context().window;
    window->tab_control()->setCurrentIndex(kelvaro::kBatchPage);
    window->show();
    SettleEvents();
    model = session->context().model;
  } else {
    lone_model = std::make_unique<kelvaro::ResultTableModel>();
    model = lone_model.get();
  }

  const long rss_before = kelvaro::bench::CurrentRssKb();
  QElapsedTimer clock;
  clock.start();
  kelvaro::ImportError error;
  if (!kelvaro::ImportNumbersFromFile(model->table(), path, &error)) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), kelvaro::ImportErrorWords(error).c_str());
    return 1;
  }
  const double import_seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  double shown_seconds = import_seconds;
  if (with_view) {
    // Until the window has laid out and painted the filled table.
    SettleEvents();
    session->context().window->repaint();
    shown_seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  }
  std::printf(
      "rows=%d\nseconds=%.6f\nshown_seconds=%.6f\nrss_before_kb=%ld\nrss_after_kb=%ld\n"
      "peak_rss_kb=%ld\n",
      model->table().RowCount(), import_seconds, shown_seconds, rss_before,
      kelvaro::bench::CurrentRssKb(), kelvaro::bench::PeakRssKb());
  std::fflush(stdout);
  return 0;
}
