#include "qt/dialog_seams.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
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

FolderChooser& FolderChooserInUse() {
  static FolderChooser chooser;
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

ErrorReporter& Notifier() {
  static ErrorReporter notifier;
  return notifier;
}

Confirmer& ConfirmerInUse() {
  static Confirmer confirmer;
  return confirmer;
}

TextAsker& Asker() {
  static TextAsker asker;
  return asker;
}

// How long xdg-open has to fail before it counts as having opened the browser: a missing
// browser is reported at once, a browser it runs in the foreground never returns.
constexpr int kBrowserStartWaitMs = 3000;

}  // namespace

ErrorReporter SetNoticeReporter(ErrorReporter reporter) {
  return std::exchange(Notifier(), std::move(reporter));
}

void ReportNotice(QWidget* parent, const QString& caption, const QString& text) {
  if (const ErrorReporter& notifier = Notifier()) {
    notifier(caption, text);
    return;
  }
  QMessageBox::information(parent, caption, text);
}

Confirmer SetConfirmer(Confirmer confirmer) {
  return std::exchange(ConfirmerInUse(), std::move(confirmer));
}

bool AskToConfirm(QWidget* parent, const QString& caption, const QString& text) {
  if (const Confirmer& confirmer = ConfirmerInUse()) return confirmer(caption, text);
  return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

TextAsker SetTextAsker(TextAsker asker) { return std::exchange(Asker(), std::move(asker)); }

std::optional<QString> AskForText(QWidget* parent, const QString& caption, const QString& prompt,
                                  const QString& initial) {
  if (const TextAsker& asker = Asker()) return asker(caption, prompt, initial);
  bool accepted = false;
  const QString text =
      QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, initial, &accepted);
  if (!accepted) return std::nullopt;
  return text;
}

bool OpenWithProgram(const QString& program, const QUrl& url, int wait_ms) {
  auto* process = new QProcess();
  process->setProgram(program);
  process->setArguments({QString::fromUtf8(url.toEncoded())});
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  process->start();
  if (!process->waitForStarted()) {
    delete process;
    return false;
  }
  QEventLoop loop;
  QTimer::singleShot(wait_ms, &loop, &QEventLoop::quit);
  QObject::connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
  // The window paints meanwhile; a click must not start another command inside this one.
  if (process->state() != QProcess::NotRunning) loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (process->state() == QProcess::NotRunning) {
    const bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    delete process;
    return opened;
  }
  // Left to run as long as the browser does; its end frees the object.
  QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
  return true;
}

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
  // Qt starts xdg-open and reports success whatever it then finds; its exit status says
  // whether a browser took the address.
  const QString xdg_open = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (xdg_open.isEmpty()) return QDesktopServices::openUrl(url);
  return OpenWithProgram(xdg_open, url, kBrowserStartWaitMs);
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

FolderChooser SetFolderChooser(FolderChooser chooser) {
  return std::exchange(FolderChooserInUse(), std::move(chooser));
}

std::optional<QString> ChooseFolder(QWidget* parent, const QString& caption,
                                    const QString& directory) {
  if (const FolderChooser& chooser = FolderChooserInUse()) return chooser(caption, directory);
  // Qt's own dialog, as the file dialogs: it can make the new folder a marked copy goes to.
  const QString chosen = QFileDialog::getExistingDirectory(
      parent, caption, directory, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
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
