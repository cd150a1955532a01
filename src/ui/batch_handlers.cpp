#include <QLineEdit>
#include <QPushButton>

#include "query/number.h"
#include "ui/batch_progress.h"
#include "ui/program.h"
#include "ui/window_handlers.h"

namespace kelvaro {

void StartBatchQueryFromWindow(ProgramContext& context) {
  if (context.window == nullptr || context.session == nullptr) return;
  const Text speed = WindowTextToGbk(context.window->speed_box()->text());
  if (context.progress != nullptr) context.progress->Begin(context.table().RowCount());
  context.session->StartBatchQuery(speed);
  if (context.progress != nullptr) context.progress->End();
}

void RequeryFailedRows(ProgramContext& context) {
  if (context.window == nullptr || context.session == nullptr) return;
  std::vector<RowId> failed = FailedRows(context.table());
  if (failed.empty()) return;
  const Text speed = WindowTextToGbk(context.window->speed_box()->text());
  if (context.progress != nullptr) context.progress->Begin(static_cast<int>(failed.size()));
  context.session->QueryRows(speed, std::move(failed));
  if (context.progress != nullptr) context.progress->End();
}

void UpdateRetryHint(ProgramContext& context) {
  if (context.window == nullptr) return;
  context.window->batch_query_button()->setToolTip(
      QString::fromUtf8(RetryHint(static_cast<int>(SiteFailedRows(context.table()).size()))));
}

void RemoveRowsWithStatusFromWindow(ProgramContext& context, const Text& target_word) {
  if (context.session == nullptr) return;
  context.session->RemoveRowsWithStatus(target_word);
}

void InstallBatchHandlers(ProgramContext& context) {
  MainWindow* window = context.window;
  context.progress = new BatchProgress(context);
  window->OnClicked(WindowButton::kBatchQuery, [&context] { StartBatchQueryFromWindow(context); });
  window->OnClicked(WindowButton::kRemoveCurrent,
                    [&context] { RemoveRowsWithStatusFromWindow(context, kStatusCurrent); });
  window->OnClicked(WindowButton::kRemoveSuperseded,
                    [&context] { RemoveRowsWithStatusFromWindow(context, kStatusSuperseded); });
}

}  // namespace kelvaro
