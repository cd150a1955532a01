// The main window with user32 and comctl32: the layout's controls, the view the window
// logic draws on, and the events it forwards to that logic.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "win32/list_view_table.h"
#include "win32/win_message_pump.h"
#include "window/layout.h"
#include "window/window_logic.h"
#include "window/window_view.h"

namespace kelvaro::win {

// What the window asks of the user, replaceable by tests.
struct WindowHooks {
  // The open-file dialog: the chosen file's full path, nothing when cancelled.
  std::function<std::optional<std::wstring>(HWND owner, const std::wstring& initial_directory)>
      choose_file;
  std::function<void(HWND owner, const std::wstring& caption, const std::wstring& text)> show_error;
  // The save-file dialog of the exports: the chosen path, nothing when cancelled.
  std::function<std::optional<std::wstring>(HWND owner, const std::wstring& suggested_path)>
      choose_save_file;
  // The table's context menu, shown at a screen point: the chosen command, 0 for none.
  std::function<int(HWND owner, HMENU menu, POINT screen)> choose_menu_item;
  // The browser at an address: false when it could not be opened.
  std::function<bool(HWND owner, const std::wstring& url)> open_url;
  // A message that something was done.
  std::function<void(HWND owner, const std::wstring& caption, const std::wstring& text)>
      show_notice;
  // A question: true to go on.
  std::function<bool(HWND owner, const std::wstring& caption, const std::wstring& text)> confirm;
  // A line of text to edit: what the user confirmed, nothing when cancelled.
  std::function<std::optional<std::wstring>(HWND owner, const std::wstring& caption,
                                            const std::wstring& prompt,
                                            const std::wstring& initial)>
      ask_text;
  // The choose-folder dialog titled `caption`: the folder's full path, nothing when cancelled.
  std::function<std::optional<std::wstring>(HWND owner, const std::wstring& caption,
                                            const std::wstring& initial_directory)>
      choose_folder;
};

// GetOpenFileNameW: no title of its own, no filter, the file and its folder must exist.
std::optional<std::wstring> ChooseFileWithDialog(HWND owner, const std::wstring& initial_directory);
void ShowErrorBox(HWND owner, const std::wstring& caption, const std::wstring& text);
void ShowNoticeBox(HWND owner, const std::wstring& caption, const std::wstring& text);
// MessageBoxW with 是 and 否: true for 是.
bool ConfirmWithBox(HWND owner, const std::wstring& caption, const std::wstring& text);
// A dialog of our own (Windows has no input box): the prompt, one line of text, 确定 and 取消.
std::optional<std::wstring> AskTextWithDialog(HWND owner, const std::wstring& caption,
                                              const std::wstring& prompt,
                                              const std::wstring& initial);
// GetSaveFileNameW for the suggested file's kind, asking before it overwrites.
std::optional<std::wstring> ChooseSaveFileWithDialog(HWND owner,
                                                     const std::wstring& suggested_path);
// IFileOpenDialog picking a folder of the file system.
std::optional<std::wstring> ChooseFolderWithDialog(HWND owner, const std::wstring& caption,
                                                   const std::wstring& initial_directory);
// ShellExecuteW "open": the user's browser.
bool OpenUrlInBrowser(HWND owner, const std::wstring& url);
// TrackPopupMenuEx, returning the command chosen.
int ChooseMenuItemWithPopup(HWND owner, HMENU menu, POINT screen);

// The context menu's command ids.
constexpr int kFirstMenuCommand = 100;
int MenuCommandId(TableCommand command);

class MainWindow : private WindowView {
 public:
  static constexpr UINT_PTR kProgressTimer = 1;

  MainWindow(WinMessagePump& pump, std::wstring program_directory, WindowHooks hooks = {});
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Makes the window and every control (not shown); then its creation is complete. False
  // when the window could not be made.
  bool Create();
  // Shows the window centred, page "查询" selected.
  void Show();

  HWND hwnd() const { return hwnd_; }
  HWND control(ControlId id) const;
  HFONT font() const { return font_; }
  WindowTable& table() { return table_->table(); }
  HWND list_view() const { return table_ ? table_->hwnd() : nullptr; }
  HWND retry_hint() const { return retry_hint_; }
  WindowLogic& logic() { return *logic_; }
  int current_page() const { return page_; }
  // False when workers were left running after the window closed.
  bool ended_cleanly() const { return ended_cleanly_; }

  void ShowPage(int page);
  // The table's context menu at a screen point; (-1, -1) comes from the keyboard and puts
  // it at the selected row.
  void ShowTableMenu(POINT screen);
  // Escape anywhere in the window closes it; Enter in the number box runs the query;
  // Ctrl+C in the table copies its row.
  bool PreTranslate(MSG& message);
  // After the main loop: releases the session unless workers may still use it.
  void ProgramCleanup();

 private:
  // WindowView.
  KELVARO_WINDOW_VIEW_OVERRIDES

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK TabProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                  UINT_PTR id, DWORD_PTR self);
  static LRESULT CALLBACK TableProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                    UINT_PTR id, DWORD_PTR self);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnNotify(NMHDR* header);
  void Close();
  void CreateControls();
  HWND CreateTab();
  // The control `spec` names, on the window or on `tab`'s pages; null when it cannot be made.
  HWND CreateControl(const ControlSpec& spec, HWND tab);
  HWND CreateTable(const ControlSpec& spec, HWND parent, bool visible);
  void SetStackingOrder();
  void CreateRetryHint();

  WinMessagePump& pump_;
  WindowHooks hooks_;
  HWND hwnd_ = nullptr;
  HWND controls_[kControlCount] = {};
  HFONT font_ = nullptr;
  HBRUSH page_brush_ = nullptr;
  HWND retry_hint_ = nullptr;  // the batch button's tooltip
  std::unique_ptr<ListViewTable> table_;
  std::unique_ptr<WindowLogic> logic_;
  std::wstring program_directory_;
  int page_ = kQueryPage;
  bool closing_ = false;
  bool ended_cleanly_ = true;
};

}  // namespace kelvaro::win
