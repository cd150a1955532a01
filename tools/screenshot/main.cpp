// kelvaro-screenshot FOLDER: the real window with a few sample numbers looked up, both
// pages grabbed into FOLDER (screenshot-query.png, screenshot-batch.png), then the last
// row asked again of a port where nothing listens and its status tooltip grabbed from
// the screen (screenshot-reason.png), then closed.
// Documentation pictures only; scripts/screenshot runs it against the sample site.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <string>

#include "site/standard_site.h"
#include "qt/program.h"

namespace {

using kelvaro::MainWindow;

void Grab(MainWindow* window, const QString& folder, const char* name) {
  window->grab().save(QDir(folder).filePath(QString::fromLatin1(name)));
}

// The last row looked up again where the connection is refused, its status cell's
// tooltip shown, and the screen around the window grabbed.
void ShowFailedRowTooltip(kelvaro::ProgramContext& context, const QString& folder) {
  MainWindow* window = context.window;
  kelvaro::ResultTableModel* model = context.model;
  kelvaro::BatchSession* session = &context.session();
  kelvaro::SetSitePrefixOverride("http://127.0.0.1:1");
  session->QueryRows("1", {model->table().RowIds().back()});
  auto* poll = new QTimer(window);
  QObject::connect(poll, &QTimer::timeout, window, [window, model, session, folder, poll] {
    if (session->IsRunning()) return;
    poll->stop();
    QTreeView* view = window->result_view();
    const QModelIndex cell = model->index(model->rowCount() - 1, 2);
    view->setCurrentIndex(cell);
    const QPoint point = view->viewport()->mapToGlobal(view->visualRect(cell).center());
    QToolTip::showText(point, model->data(cell, Qt::ToolTipRole).toString(), view->viewport());
    QTimer::singleShot(700, window, [window, folder] {
      const QRect frame = window->frameGeometry();
      window->screen()
          ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
          .save(QDir(folder).filePath(QStringLiteral("screenshot-reason.png")));
      window->close();
    });
  });
  poll->start(100);
}

void ScheduleScreenshots(kelvaro::ProgramContext& context, const QString& folder) {
  MainWindow* window = context.window;
  kelvaro::ResultTable* table = &context.table();
  kelvaro::BatchSession* session = &context.session();
  QTimer::singleShot(300, window, [&context, window, table, session, folder] {
    QDir().mkpath(folder);
    const char* const numbers[] = {"GB/T50001-2010", "GB/T50103-2010", "GB 50016-2006",
                                   "GB/T50104-2001", "GB 50016-2014",  "GBJ 16-87"};
    int ordinal = 0;
    for (const char* number : numbers) {
      const int row = table->AppendRow(std::to_string(++ordinal));
      table->SetCellText(row, kelvaro::ColumnIndex(kelvaro::Column::kNumber), number);
    }
    window->tab_control()->setCurrentIndex(kelvaro::kQueryPage);
    window->control_as<QPushButton>(kelvaro::kSingleQueryButton)->click();
    QApplication::processEvents();
    Grab(window, folder, "screenshot-query.png");
    window->tab_control()->setCurrentIndex(kelvaro::kBatchPage);
    window->control_as<QPushButton>(kelvaro::kBatchQueryButton)->click();
    // The last workers of a batch finish after the click handler has returned.
    auto* poll = new QTimer(window);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    QObject::connect(poll, &QTimer::timeout, window,
                     [&context, window, session, folder, poll, deadline] {
                       if (session->IsRunning() && std::chrono::steady_clock::now() < deadline)
                         return;
                       poll->stop();
                       Grab(window, folder, "screenshot-batch.png");
                       ShowFailedRowTooltip(context, folder);
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
