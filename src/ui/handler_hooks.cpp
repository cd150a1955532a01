#include "ui/handler_hooks.h"

#include "ui/program.h"
#include "ui/window_handlers.h"

namespace kelvaro {

void InstallHandlers(ProgramContext& context) {
  if (context.window == nullptr) return;
  InstallSingleQueryHandler(context);
  InstallImportHandler(context);
  InstallBatchHandlers(context);
  InstallCopyHandler(context);
  InstallTableMenuHandlers(context);
}

}  // namespace kelvaro
