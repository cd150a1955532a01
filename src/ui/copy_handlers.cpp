#include <QClipboard>
#include <QGuiApplication>

#include "ui/program.h"
#include "ui/window_handlers.h"

namespace kelvaro {

void CopyCellOnDoubleClick(ProgramContext& context, int x, int y, Qt::KeyboardModifiers keys) {
  static_cast<void>(keys);  // the copy depends on the point only
  ResultTable& table = context.table();
  const CellHit hit = table.HitTestCell(x, y);
  // A miss copies nothing: emptying the clipboard would destroy what the user had copied.
  if (hit.row < 0 || hit.column < 0) return;
  const Text text = table.GetCellText(hit.row, hit.column);
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->setText(GbkToWindowText(text), QClipboard::Clipboard);
  }
}

void InstallCopyHandler(ProgramContext& context) {
  context.window->OnTableDoubleClicked([&context](int x, int y, Qt::KeyboardModifiers keys) {
    CopyCellOnDoubleClick(context, x, y, keys);
  });
}

}  // namespace kelvaro
