#include <QLineEdit>

#include "query/number.h"
#include "ui/program.h"
#include "ui/window_handlers.h"

namespace kelvaro {

void StartBatchQueryFromWindow(ProgramContext& context) {
  if (context.window == nullptr || context.session == nullptr) return;
  context.session->StartBatchQuery(WindowTextToGbk(context.window->speed_box()->text()));
}

void RemoveRowsWithStatusFromWindow(ProgramContext& context, const Text& target_word) {
  if (context.session == nullptr) return;
  context.session->RemoveRowsWithStatus(target_word);
}

void InstallBatchHandlers(ProgramContext& context) {
  MainWindow* window = context.window;
  window->OnClicked(WindowButton::kBatchQuery, [&context] { StartBatchQueryFromWindow(context); });
  window->OnClicked(WindowButton::kRemoveCurrent,
                    [&context] { RemoveRowsWithStatusFromWindow(context, kStatusCurrent); });
  window->OnClicked(WindowButton::kRemoveSuperseded,
                    [&context] { RemoveRowsWithStatusFromWindow(context, kStatusSuperseded); });
}

}  // namespace kelvaro
