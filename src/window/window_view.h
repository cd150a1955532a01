// What the window logic asks of a toolkit's window. Texts and paths are UTF-8; every call
// comes on the window's thread.
#pragma once

#include <optional>
#include <string>

#include "window/layout.h"

namespace kelvaro {

class WindowView {
 public:
  virtual ~WindowView() = default;

  // False once the window has closed (a handler's wait may outlast it).
  virtual bool IsOpen() const = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // An edit box's content; replacing it; adding at its end with the caret brought into
  // view. "\r\n" in a text is one line break.
  virtual std::string ControlText(ControlId id) const = 0;
  virtual void SetControlText(ControlId id, const std::string& text) = 0;
  virtual void AppendControlText(ControlId id, const std::string& text) = 0;
  virtual void EnableControl(ControlId id, bool enabled) = 0;
  // A button's tooltip; empty shows none.
  virtual void SetToolTip(ControlId id, const std::string& text) = 0;
  // A modal error message.
  virtual void ShowError(const std::string& caption, const std::string& text) = 0;
  // A modal message that something was done.
  virtual void ShowNotice(const std::string& caption, const std::string& text) = 0;
  // A modal question: true when the user chose to go on, false to stop.
  virtual bool Confirm(const std::string& caption, const std::string& text) = 0;
  // A modal line of text under `prompt`, starting as `initial`: what the user confirmed,
  // nothing on cancel.
  virtual std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                             const std::string& initial) = 0;
  // The open-file dialog, starting in `directory` with `last_file` (the file chosen last,
  // may be empty) selected: the chosen file's full path, nothing on cancel.
  virtual std::optional<std::string> ChooseFileToOpen(const std::string& directory,
                                                      const std::string& last_file) = 0;
  // The save-file dialog proposing `suggested_path`: the path to write, nothing on cancel.
  virtual std::optional<std::string> ChooseFileToSave(const std::string& suggested_path) = 0;
  // The choose-folder dialog titled `caption`, starting in `directory`: the chosen folder's
  // full path, nothing on cancel.
  virtual std::optional<std::string> AskFolder(const std::string& caption,
                                               const std::string& directory) = 0;
  // Plain text on the clipboard; lines end in "\n" (the view writes its platform's ends).
  virtual void PutOnClipboard(const std::string& text) = 0;
  // The clipboard's plain text; empty when it holds none.
  virtual std::string ClipboardText() = 0;
  // The Result table's selected row, -1 for none.
  virtual int SelectedRow() const = 0;
  // The system's browser at `url` (already escaped as sent); false when it could not be
  // opened.
  virtual bool OpenUrl(const std::string& url) = 0;
  // While batches run the logic wants OnTimer about every `interval_ms`.
  virtual void StartTimer(int interval_ms) = 0;
  virtual void StopTimer() = 0;
};

}  // namespace kelvaro

// What a toolkit's window declares to be a WindowView.
#define KELVARO_WINDOW_VIEW_OVERRIDES                                                            \
  bool IsOpen() const override;                                                                  \
  void SetTitle(const std::string& title) override;                                              \
  std::string ControlText(ControlId id) const override;                                          \
  void SetControlText(ControlId id, const std::string& text) override;                           \
  void AppendControlText(ControlId id, const std::string& text) override;                        \
  void EnableControl(ControlId id, bool enabled) override;                                       \
  void SetToolTip(ControlId id, const std::string& text) override;                               \
  void ShowError(const std::string& caption, const std::string& text) override;                  \
  void ShowNotice(const std::string& caption, const std::string& text) override;                 \
  bool Confirm(const std::string& caption, const std::string& text) override;                    \
  std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,      \
                                     const std::string& initial) override;                       \
  std::optional<std::string> ChooseFileToOpen(const std::string& directory,                      \
                                              const std::string& last_file) override;            \
  std::optional<std::string> ChooseFileToSave(const std::string& suggested_path) override;       \
  std::optional<std::string> AskFolder(const std::string& caption, const std::string& directory) \
      override;                                                                                  \
  void PutOnClipboard(const std::string& text) override;                                         \
  std::string ClipboardText() override;                                                          \
  int SelectedRow() const override;                                                              \
  bool OpenUrl(const std::string& url) override;                                                 \
  void StartTimer(int interval_ms) override;                                                     \
  void StopTimer() override;
