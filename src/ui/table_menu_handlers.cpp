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

// A cell for tab-separated lines: a tab or line break inside would split it.
QString PlainCell(const Text& cell) {
  QString text = GbkToWindowText(cell);
  for (const QChar c : {QChar('\t'), QChar('\r'), QChar('\n')}) text.replace(c, QChar(' '));
  return text;
}

QString RowLine(const RowStore::Row& row) {
  QStringList cells;
  for (const Text& cell : row.cells) cells << PlainCell(cell);
  return cells.join(QChar('\t'));
}

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
  ToClipboard(RowLine(rows[static_cast<std::size_t>(current.row())]));
}

void CopyAllRows(ProgramContext& context) {
  QStringList lines;
  QStringList header;
  for (int column = 0; column < kColumnCount; ++column) {
    header << QString::fromUtf8(ColumnHeader(column));
  }
  lines << header.join(QChar('\t'));
  for (const RowStore::Row& row : context.model->Snapshot()) lines << RowLine(row);
  ToClipboard(lines.join(QChar('\n')) + QChar('\n'));
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
