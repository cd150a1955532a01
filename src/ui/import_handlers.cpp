#include <optional>
#include <string>

#include "query/import.h"
#include "ui/dialog_seams.h"
#include "ui/program.h"
#include "ui/window_handlers.h"

namespace kelvaro {

void ImportNumbers(ProgramContext& context) {
  MainWindow* window = context.window;
  if (window == nullptr) return;
  const std::optional<QString> chosen =
      ChooseFileToOpen(window, context.program_directory, window->open_file_name());
  if (!chosen.has_value()) return;  // cancelled: the table stays as it was
  window->set_open_file_name(*chosen);
  std::string reason;
  // A file that cannot be read leaves the earlier rows, and the user learns why.
  if (!ImportNumbersFromFile(context.table(), chosen->toStdString(), &reason)) {
    ReportError(window, QString::fromUtf8("错误"),
                QString::fromUtf8("无法读取文件：") + *chosen + QStringLiteral("\n") +
                    QString::fromLocal8Bit(reason.c_str()));
  }
}

void InstallImportHandler(ProgramContext& context) {
  context.window->OnClicked(WindowButton::kImport, [&context] { ImportNumbers(context); });
}

}  // namespace kelvaro
