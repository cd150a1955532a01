#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <atomic>
#include <memory>
#include <system_error>
#include <thread>

#include "query/report.h"
#include "query/single_query.h"
#include "ui/program.h"
#include "ui/window_handlers.h"
#include "platform/platform.h"

namespace kelvaro {

namespace {

// The report box keeps line breaks as "\n"; a report's CR LF is one line break.
QString ReportBoxText(const Text& text) {
  QString shown = GbkToWindowText(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

// Adds `text` at the very end (no line break of its own) and brings the caret into view.
void AppendToReport(QPlainTextEdit* box, const Text& text) {
  box->moveCursor(QTextCursor::End);
  box->insertPlainText(ReportBoxText(text));
  box->moveCursor(QTextCursor::End);
  box->ensureCursorVisible();
}

struct PendingQuery {
  std::atomic<bool> done{false};
  SingleQueryResult result;  // written by the worker before `done`
};

}  // namespace

void ShowSingleQueryReport(ProgramContext& context) {
  if (context.window == nullptr || context.pump == nullptr) return;
  QPointer<QPlainTextEdit> report_box = context.window->report_box();
  QPointer<QPushButton> button = context.window->single_query_button();
  report_box->setPlainText(ReportBoxText("\r\n"));
  const Text number = WindowTextToGbk(context.window->number_box()->text());

  // The request runs off the window's thread so that the window keeps painting and
  // serving clicks; the button stays disabled until the report is written.
  button->setEnabled(false);
  auto pending = std::make_shared<PendingQuery>();
  MessagePump* pump = context.pump;
  auto lookup = [pending, number, pump] {
    pending->result = RunSingleQuery(number);
    pending->done.store(true);
    pump->WakeUp();
  };
  std::thread worker;
  try {
    worker = std::thread(lookup);
  } catch (const std::system_error&) {
    lookup();  // no thread to be had: look it up here, the window waiting meanwhile
  }
  while (!pending->done.load()) {
    const bool closing = context.runner == nullptr || context.runner->IsShuttingDown();
    // The window closed meanwhile: end the request now rather than at its time-out, and
    // again on every wake-up in case it had not begun yet.
    if (closing) platform::AbortAllRequests();
    pump->PumpingWait(closing ? 20000 : 250000);
  }
  if (worker.joinable()) worker.join();
  if (button) button->setEnabled(true);
  if (context.runner == nullptr || context.runner->IsShuttingDown() || !report_box) return;

  const SingleQueryResult& result = pending->result;
  for (const Text& entry :
       ReportEntries(result.lookup.record, result.lookup.address, result.cleaned)) {
    AppendToReport(report_box, entry);
  }
}

void InstallSingleQueryHandler(ProgramContext& context) {
  context.window->OnClicked(WindowButton::kSingleQuery,
                            [&context] { ShowSingleQueryReport(context); });
}

}  // namespace kelvaro
