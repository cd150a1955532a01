// kelvaro-screenshot FOLDER: the real window with sample numbers of every verdict looked up,
// one of them asked again of a port where nothing listens so that it fails, then grabbed
// into FOLDER: the query page (screenshot-query.png), the batch page with the two-line
// tooltip of the row whose successor is coming (screenshot-batch.png), and the failed row's
// tooltip (screenshot-reason.png); then closed.
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
#include <functional>
#include <string>

#include "qt/program.h"
#include "site/standard_site.h"

namespace {

using kelvaro::MainWindow;

// Rows in the order of the verdicts' colours: 现行, 有新标准, 已废止, 尚未实施, 未收录, then the
// row made to fail, then 现行 with its successor coming last, so that its tooltip hides no row.
const char* const kNumbers[] = {"GB/T50103-2010",  "GB/T50001-2010", "GB 50045-95",
                                "GB/T 50353-2024", "GB/T99999-2020", "GB 50016-2014",
                                "GB/T 50353-2013"};
constexpr int kFailedRow = 5;
constexpr int kComingRow = 6;
constexpr int kStatusColumn = kelvaro::ColumnIndex(kelvaro::Column::kStatus);

void Grab(MainWindow* window, const QString& folder, const char* name) {
  window->grab().save(QDir(folder).filePath(QString::fromLatin1(name)));
}

// The screen around the window, so that a tooltip shows.
void GrabScreen(MainWindow* window, const QString& folder, const char* name) {
  const QRect frame = window->frameGeometry();
  window->screen()
      ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
      .save(QDir(folder).filePath(QString::fromLatin1(name)));
}

void ShowStatusToolTip(kelvaro::ProgramContext& context, int row) {
  QTreeView* view = context.window->result_view();
  const QModelIndex cell = context.model->index(row, kStatusColumn);
  view->clearSelection();  // a selected row would hide its status cell's colour
  const QPoint point = view->viewport()->mapToGlobal(view->visualRect(cell).center());
  QToolTip::showText(point, context.model->data(cell, Qt::ToolTipRole).toString(),
                     view->viewport());
}

// Calls `then` once the session's workers have ended (or after 20 s).
void WhenIdle(kelvaro::ProgramContext& context, std::function<void()> then) {
  kelvaro::BatchSession* session = &context.session();
  auto* poll = new QTimer(context.window);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  QObject::connect(poll, &QTimer::timeout, context.window, [session, poll, deadline, then] {
    if (session->IsRunning() && std::chrono::steady_clock::now() < deadline) return;
    poll->stop();
    poll->deleteLater();
    then();
  });
  poll->start(100);
}

void GrabBatchAndReason(kelvaro::ProgramContext& context, const QString& folder) {
  MainWindow* window = context.window;
  ShowStatusToolTip(context, kComingRow);
  QTimer::singleShot(700, window, [&context, window, folder] {
    GrabScreen(window, folder, "screenshot-batch.png");
    ShowStatusToolTip(context, kFailedRow);
    QTimer::singleShot(700, window, [window, folder] {
      GrabScreen(window, folder, "screenshot-reason.png");
      window->close();
    });
  });
}

void ScheduleScreenshots(kelvaro::ProgramContext& context, const QString& folder) {
  MainWindow* window = context.window;
  QTimer::singleShot(300, window, [&context, window, folder] {
    QDir().mkpath(folder);
    kelvaro::ResultTable& table = context.table();
    int ordinal = 0;
    for (const char* number : kNumbers) {
      const int row = table.AppendRow(std::to_string(++ordinal));
      table.SetCellText(row, kelvaro::ColumnIndex(kelvaro::Column::kNumber), number);
    }
    window->tab_control()->setCurrentIndex(kelvaro::kQueryPage);
    window->control_as<QPushButton>(kelvaro::kSingleQueryButton)->click();
    QApplication::processEvents();
    Grab(window, folder, "screenshot-query.png");
    window->tab_control()->setCurrentIndex(kelvaro::kBatchPage);
    window->control_as<QPushButton>(kelvaro::kBatchQueryButton)->click();
    // The last workers of a batch finish after the click handler has returned.
    WhenIdle(context, [&context, folder] {
      context.session().SetSite(kelvaro::SiteAt("http://127.0.0.1:1"));
      context.session().QueryRows("1", {context.table().RowIds()[kFailedRow]});
      WhenIdle(context, [&context, folder] { GrabBatchAndReason(context, folder); });
    });
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
