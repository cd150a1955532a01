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

std::vector<RowId> FailedRows(ResultTable& table) {
  std::vector<RowId> failed;
  for (const RowId id : table.RowIds()) {
    const Outcome outcome = table.ReasonById(id).outcome;
    if ((IsSiteFailure(outcome) || outcome == Outcome::kAborted) &&
        table.GetCellTextById(id, ColumnIndex(Column::kStatus)) == kStatusUnknown) {
      failed.push_back(id);
    }
  }
  return failed;
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
  ResultTable& table = context.table();
  int failed = 0;
  for (const RowId id : table.RowIds()) {
    if (IsSiteFailure(table.ReasonById(id).outcome)) ++failed;
  }
  context.window->batch_query_button()->setToolTip(
      failed == 0 ? QString()
                  : QString::fromUtf8("有 %1 行因网络错误或网站出错而为“未知”；"
                                      "在表格上单击右键，选“重新查询未知”可再查一次")
                        .arg(failed));
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
