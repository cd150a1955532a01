#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <optional>

#include "query/report.h"
#include "query/single_query.h"
#include "ui/program.h"
#include "ui/window_handlers.h"

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

}  // namespace

void ShowSingleQueryReport(ProgramContext& context) {
  if (context.window == nullptr || context.session == nullptr) return;
  QPointer<QPlainTextEdit> report_box = context.window->report_box();
  QPointer<QPushButton> button = context.window->single_query_button();
  report_box->setPlainText(ReportBoxText("\r\n"));
  const Text number = WindowTextToGbk(context.window->number_box()->text());

  // The request runs off the window's thread so that the window keeps painting and
  // serving clicks; the button stays disabled until the report is written.
  button->setEnabled(false);
  const std::optional<SingleQueryResult> ran = context.session->RunSingleQuery(number);
  if (button) button->setEnabled(true);
  if (!ran.has_value() || !report_box) return;  // the window closed meanwhile

  const SingleQueryResult& result = *ran;
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
