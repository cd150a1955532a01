#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QTreeView>
#include <fstream>
#include <optional>
#include <string>

#include "batch/table_export.h"
#include "ui/dialog_seams.h"
#include "ui/program.h"
#include "ui/window_handlers.h"

namespace kelvaro {

namespace {

void ToClipboard(const QString& text) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->setText(text, QClipboard::Clipboard);
  }
}

}  // namespace

void CopySelectedRow(ProgramContext& context) {
  if (context.window == nullptr) return;
  const QModelIndex current = context.window->result_view()->currentIndex();
  if (!current.isValid()) return;  // nothing chosen: the clipboard keeps what it had
  const std::vector<RowStore::Row> rows = context.model->Snapshot();
  if (current.row() >= static_cast<int>(rows.size())) return;
  ToClipboard(QString::fromUtf8(PlainTextRow(rows[static_cast<std::size_t>(current.row())])));
}

void CopyAllRows(ProgramContext& context) {
  ToClipboard(QString::fromUtf8(PlainTextTable(context.model->Snapshot())));
}

void ExportCsv(ProgramContext& context) {
  MainWindow* window = context.window;
  if (window == nullptr) return;
  const QString last = window->open_file_name();
  const QString folder = last.isEmpty() ? ImportStartDirectory(context.program_directory)
                                        : QFileInfo(last).absolutePath();
  const std::optional<QString> chosen =
      ChooseFileToSave(window, QDir(folder).filePath(QStringLiteral("结果.csv")));
  if (!chosen.has_value()) return;
  const std::string csv = FormatCsv(context.model->Snapshot());
  std::ofstream out(QFile::encodeName(*chosen).toStdString(), std::ios::binary | std::ios::trunc);
  out << csv;
  out.close();
  if (!out) {
    ReportError(window, QString::fromUtf8("错误"), QString::fromUtf8("无法写入文件：") + *chosen);
  }
}

void InstallTableMenuHandlers(ProgramContext& context) {
  MainWindow* window = context.window;
  window->OnTableAction(TableAction::kCopyRow, [&context] { CopySelectedRow(context); });
  window->OnTableAction(TableAction::kCopyAll, [&context] { CopyAllRows(context); });
  window->OnTableAction(TableAction::kExportCsv, [&context] { ExportCsv(context); });
  window->OnTableAction(TableAction::kRequeryFailed, [&context] { RequeryFailedRows(context); });
}

}  // namespace kelvaro
