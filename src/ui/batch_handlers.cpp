#include <QLineEdit>

#include "query/number.h"
#include "ui/program.h"
#include "ui/window_handlers.h"

namespace kelvaro {

QueryServices ServicesOf(const ProgramContext& context) {
  QueryServices services;
  services.table = context.model;
  services.runner = context.runner;
  services.locks = context.locks;
  services.query_lock = context.query_lock;
  services.pump = context.pump;
  return services;
}

void StartBatchQueryFromWindow(ProgramContext& context) {
  if (context.window == nullptr || context.runner == nullptr) return;
  StartBatchQuery(ServicesOf(context), WindowTextToGbk(context.window->speed_box()->text()));
}

void RemoveRowsWithStatusFromWindow(ProgramContext& context, const Text& target_word) {
  if (context.runner == nullptr) return;
  RemoveRowsWithStatus(ServicesOf(context), target_word);
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
