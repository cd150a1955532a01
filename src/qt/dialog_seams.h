// The dialogs and the browser behind seams: the window asks through these, and tests
// answer in their place.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QFileDialog;
class QUrl;
class QWidget;

namespace kelvaro {

// Answers an open-file request: the chosen file's full path, or nothing on cancel.
// `directory` is where the dialog starts; `last_file` the file chosen last time (may be
// empty), which the dialog shows selected and whose folder it then opens in.
using OpenFileChooser =
    std::function<std::optional<QString>(const QString& directory, const QString& last_file)>;

// Puts `chooser` in the dialog's place (an empty one brings the dialog back) and gives
// back the one it replaces.
OpenFileChooser SetOpenFileChooser(OpenFileChooser chooser);

// The dialog as the import shows it, not yet shown: Qt's own (non-native) dialog, no
// title of ours, no filter, an existing file only.
std::unique_ptr<QFileDialog> MakeOpenFileDialog(QWidget* parent, const QString& directory,
                                                const QString& last_file);

// Answers a save-file request: the path to write, or nothing on cancel. `suggested` is
// the file the dialog proposes (a full path).
using SaveFileChooser = std::function<std::optional<QString>(const QString& suggested)>;
SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser);
// Shows Qt's save dialog modally (or asks the chooser put in its place).
std::optional<QString> ChooseFileToSave(QWidget* parent, const QString& suggested);

// Answers a choose-folder request: the folder's full path, or nothing on cancel.
using FolderChooser =
    std::function<std::optional<QString>(const QString& caption, const QString& directory)>;
FolderChooser SetFolderChooser(FolderChooser chooser);
// Shows Qt's folder dialog modally, starting in `directory` (or asks the chooser put in its
// place).
std::optional<QString> ChooseFolder(QWidget* parent, const QString& caption,
                                    const QString& directory);

// Tells the user of a failure: a modal critical message box, or what tests put in its place.
using ErrorReporter = std::function<void(const QString& caption, const QString& text)>;
ErrorReporter SetErrorReporter(ErrorReporter reporter);
void ReportError(QWidget* parent, const QString& caption, const QString& text);

// Tells the user that something was done: a modal information box, or what tests put in
// its place.
ErrorReporter SetNoticeReporter(ErrorReporter reporter);
void ReportNotice(QWidget* parent, const QString& caption, const QString& text);

// Asks whether to go on: a modal Yes/No box (true for Yes), or what tests put in its place.
using Confirmer = std::function<bool(const QString& caption, const QString& text)>;
Confirmer SetConfirmer(Confirmer confirmer);
bool AskToConfirm(QWidget* parent, const QString& caption, const QString& text);

// Asks for a line of text, starting as `initial`: what the user confirmed, nothing on cancel.
using TextAsker = std::function<std::optional<QString>(
    const QString& caption, const QString& prompt, const QString& initial)>;
TextAsker SetTextAsker(TextAsker asker);
std::optional<QString> AskForText(QWidget* parent, const QString& caption, const QString& prompt,
                                  const QString& initial);

// Opens an address in the user's browser, or hands it to what tests put in its place;
// false when it could not be opened.
using UrlOpener = std::function<bool(const QUrl& url)>;
UrlOpener SetUrlOpener(UrlOpener opener);
bool OpenInBrowser(const QUrl& url);
// Runs `program` with the address (xdg-open) and waits up to `wait_ms`, painting meanwhile,
// for it to say how it went: false when it could not start or ended in failure; true when it
// succeeded or still runs (the browser itself, started in the foreground).
bool OpenWithProgram(const QString& program, const QUrl& url, int wait_ms);

// Shows the dialog modally (or asks the chooser put in its place).
std::optional<QString> ChooseFileToOpen(QWidget* parent, const QString& directory,
                                        const QString& last_file);

}  // namespace kelvaro
