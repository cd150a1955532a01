#include "qt/dialog_seams.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>
#include <utility>

#include "window/layout.h"

namespace kelvaro {

namespace {

OpenFileChooser& Chooser() {
  static OpenFileChooser chooser;
  return chooser;
}

SaveFileChooser& SaveChooser() {
  static SaveFileChooser chooser;
  return chooser;
}

QString NameFilter(const FileType& type) {
  return QString::fromStdString(type.label) + QStringLiteral(" (") +
         QString::fromStdString(type.patterns) + QStringLiteral(")");
}

ErrorReporter& Reporter() {
  static ErrorReporter reporter;
  return reporter;
}

UrlOpener& Opener() {
  static UrlOpener opener;
  return opener;
}

}  // namespace

ErrorReporter SetErrorReporter(ErrorReporter reporter) {
  return std::exchange(Reporter(), std::move(reporter));
}

void ReportError(QWidget* parent, const QString& caption, const QString& text) {
  if (const ErrorReporter& reporter = Reporter()) {
    reporter(caption, text);
    return;
  }
  QMessageBox::critical(parent, caption, text);
}

UrlOpener SetUrlOpener(UrlOpener opener) { return std::exchange(Opener(), std::move(opener)); }

bool OpenInBrowser(const QUrl& url) {
  if (const UrlOpener& opener = Opener()) return opener(url);
  return QDesktopServices::openUrl(url);
}

SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser) {
  return std::exchange(SaveChooser(), std::move(chooser));
}

std::optional<QString> ChooseFileToSave(QWidget* parent, const QString& suggested) {
  if (const SaveFileChooser& chooser = SaveChooser()) return chooser(suggested);
  QFileDialog dialog(parent);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QString suffix = QFileInfo(suggested).suffix();
  dialog.setNameFilter(NameFilter(ExportFileType(suffix.toUtf8().constData())));
  dialog.setDefaultSuffix(suffix);
  dialog.selectFile(suggested);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.first();
}

OpenFileChooser SetOpenFileChooser(OpenFileChooser chooser) {
  return std::exchange(Chooser(), std::move(chooser));
}

std::unique_ptr<QFileDialog> MakeOpenFileDialog(QWidget* parent, const QString& directory,
                                                const QString& last_file) {
  auto dialog = std::make_unique<QFileDialog>(parent);
  // The same dialog everywhere, and one that tests and screenshots can drive. Qt's
  // dialog has no "open as read-only" check box to hide.
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  QStringList filters;
  for (const FileType& type : ImportFileTypes()) filters << NameFilter(type);
  dialog->setNameFilters(filters);
  dialog->setDirectory(directory);
  // A full path moves the dialog to that file's folder, as the last choice should.
  if (!last_file.isEmpty()) dialog->selectFile(last_file);
  return dialog;
}

std::optional<QString> ChooseFileToOpen(QWidget* parent, const QString& directory,
                                        const QString& last_file) {
  if (const OpenFileChooser& chooser = Chooser()) return chooser(directory, last_file);
  const std::unique_ptr<QFileDialog> dialog = MakeOpenFileDialog(parent, directory, last_file);
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog->selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.first();
}

}  // namespace kelvaro
