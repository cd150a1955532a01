#include "ui/handler_hooks.h"

#include "ui/program.h"

namespace kelvaro {

void InstallHandlers(ProgramContext& context) {
  // Bind each handler here, e.g.
  //   context.window->OnClicked(WindowButton::kImport, [&context] { ImportNumbers(context); });
  //   context.window->OnTableDoubleClicked([&context](int x, int y, Qt::KeyboardModifiers m)
  //   {...});
  static_cast<void>(context);
}

}  // namespace kelvaro
