// kelvaro-screenshot FOLDER: the real window with a few sample numbers looked up, both
// pages grabbed into FOLDER (screenshot-query.png, screenshot-batch.png), then closed.
// Documentation pictures only; scripts/screenshot runs it against the sample site.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <string>

#include "ui/program.h"

namespace {

using kelvaro::MainWindow;

void Grab(MainWindow* window, const QString& folder, const char* name) {
  window->grab().save(QDir(folder).filePath(QString::fromLatin1(name)));
}

void ScheduleScreenshots(kelvaro::ProgramContext& context, const QString& folder) {
  MainWindow* window = context.window;
  kelvaro::ResultTable* table = context.model;
  kelvaro::BatchSession* session = context.session;
  QTimer::singleShot(300, window, [window, table, session, folder] {
    QDir().mkpath(folder);
    const char* const numbers[] = {"GB/T50001-2010", "GB/T50103-2010", "GB 50016-2006",
                                   "GB/T50104-2001", "GB 50016-2014",  "GBJ 16-87"};
    int ordinal = 0;
    for (const char* number : numbers) {
      const int row = table->AppendRow(std::to_string(++ordinal));
      table->SetCellText(row, kelvaro::ColumnIndex(kelvaro::Column::kNumber), number);
    }
    window->tab_control()->setCurrentIndex(MainWindow::kQueryPage);
    window->single_query_button()->click();
    QApplication::processEvents();
    Grab(window, folder, "screenshot-query.png");
    window->tab_control()->setCurrentIndex(MainWindow::kBatchPage);
    window->batch_query_button()->click();
    // The last workers of a batch finish after the click handler has returned.
    auto* poll = new QTimer(window);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    QObject::connect(poll, &QTimer::timeout, window, [window, session, folder, poll, deadline] {
      if (session->IsRunning() && std::chrono::steady_clock::now() < deadline) return;
      poll->stop();
      Grab(window, folder, "screenshot-batch.png");
      window->close();
    });
    poll->start(100);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelvaro-screenshot FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  kelvaro::ProgramHooks hooks;
  hooks.on_shown = [folder](kelvaro::ProgramContext& context) {
    ScheduleScreenshots(context, folder);
  };
  return kelvaro::ProgramStart(argc, argv, hooks);
}
