#include <optional>
#include <string>

#include "query/import.h"
#include "text/encoding.h"
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
    ReportError(window, GbkToWindowText(Gbk(u8"错误")),
                GbkToWindowText(Gbk(u8"无法读取文件：")) + *chosen + QStringLiteral("\n") +
                    QString::fromLocal8Bit(reason.c_str()));
  }
}

void InstallImportHandler(ProgramContext& context) {
  context.window->OnClicked(WindowButton::kImport, [&context] { ImportNumbers(context); });
}

Text WindowTextToGbk(const QString& text) { return Utf8ToGbk(text.toStdString()); }

QString GbkToWindowText(const Text& text) { return QString::fromStdString(GbkToUtf8(text)); }

}  // namespace kelvaro
