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
  const std::optional<QString> chosen = ChooseFileToOpen(
      window, ImportStartDirectory(context.program_directory), window->open_file_name());
  if (!chosen.has_value()) return;  // cancelled: the table stays as it was
  ImportFile(context, *chosen);
}

void ImportFile(ProgramContext& context, const QString& path) {
  MainWindow* window = context.window;
  if (window == nullptr) return;
  window->set_open_file_name(path);
  std::string reason;
  // A file that cannot be read leaves the earlier rows, and the user learns why.
  if (!ImportNumbersFromFile(context.table(), path.toStdString(), &reason)) {
    ReportError(window, QString::fromUtf8("错误"),
                QString::fromUtf8("无法读取文件：") + path + QStringLiteral("\n") +
                    QString::fromLocal8Bit(reason.c_str()));
  }
  UpdateRetryHint(context);
}

void InstallImportHandler(ProgramContext& context) {
  context.window->OnClicked(WindowButton::kImport, [&context] { ImportNumbers(context); });
  context.window->OnFileDropped([&context](const QString& path) { ImportFile(context, path); });
}

}  // namespace kelvaro
