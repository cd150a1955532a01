// The main window with user32 and comctl32: a tab control with two pages, the button of
// the window's own, the Result table, and what each button does with the batch session.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "session/batch_session.h"
#include "win/layout.h"
#include "win/list_view_table.h"
#include "win/win_message_pump.h"

namespace kelvaro::win {

// What the window asks of the user, replaceable by tests.
struct WindowHooks {
  // The open-file dialog: the chosen file's full path, nothing when cancelled.
  std::function<std::optional<std::wstring>(HWND owner, const std::wstring& initial_directory)>
      choose_file;
  std::function<void(HWND owner, const std::wstring& caption, const std::wstring& text)> show_error;
  // The save-file dialog of 导出 CSV…: the chosen path, nothing when cancelled.
  std::function<std::optional<std::wstring>(HWND owner, const std::wstring& suggested_path)>
      choose_save_file;
  // The table's context menu, shown at a screen point: the chosen command, 0 for none.
  std::function<int(HWND owner, HMENU menu, POINT screen)> choose_menu_item;
};

// GetOpenFileNameW: no title of its own, no filter, the file and its folder must exist.
std::optional<std::wstring> ChooseFileWithDialog(HWND owner, const std::wstring& initial_directory);
// Where the import dialog starts the first time: the program directory when the user can
// write there, else the user's profile folder.
std::wstring FirstImportDirectory(const std::wstring& program_directory);
void ShowErrorBox(HWND owner, const std::wstring& caption, const std::wstring& text);
// GetSaveFileNameW for CSV files, asking before it overwrites.
std::optional<std::wstring> ChooseSaveFileWithDialog(HWND owner,
                                                     const std::wstring& suggested_path);
// TrackPopupMenuEx, returning the command chosen.
int ChooseMenuItemWithPopup(HWND owner, HMENU menu, POINT screen);

// The commands of the Result table's context menu.
enum TableCommand : int {
  kCopyRowCommand = 100,  // 复制本行 (also Ctrl+C)
  kCopyAllCommand,        // 复制全部
  kExportCsvCommand,      // 导出 CSV…
  kRequeryCommand,        // 重新查询未知
};

class MainWindow {
 public:
  // How long closing waits for a batch's workers to end.
  static constexpr std::chrono::milliseconds kCloseGrace{1000};
  static constexpr UINT_PTR kProgressTimer = 1;

  MainWindow(WinMessagePump& pump, std::wstring program_directory, WindowHooks hooks = {});
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Makes the window and every control (not shown), then the batch session with its
  // query lock. False when the window could not be made.
  bool Create();
  // Shows the window centred, page "查询" selected.
  void Show();

  HWND hwnd() const { return hwnd_; }
  HWND control(ControlId id) const;
  HFONT font() const { return font_; }
  ListViewTable& table() { return *table_; }
  HWND retry_hint() const { return retry_hint_; }
  BatchSession* session() { return session_.get(); }
  int current_page() const { return page_; }
  const std::wstring& last_file() const { return last_file_; }
  // EndAll's result when the window closed: false when workers were left running.
  bool ended_cleanly() const { return ended_cleanly_; }

  // The handlers, as the controls run them.
  void ShowPage(int page);
  void ShowSingleQueryReport();
  void ImportNumbers();
  void StartBatchQuery();
  void RemoveRowsWithStatus(const Text& word);
  void CopyCellOnDoubleClick(int x, int y);
  // The table's context menu at a screen point; (-1, -1) comes from the keyboard and
  // puts it at the selected row.
  void ShowTableMenu(POINT screen);
  void RunTableCommand(int command);
  void CopySelectedRow();
  void CopyAllRows();
  void ExportCsv();
  void RequeryFailedRows();
  // 导入's work for a file chosen or dropped on the table.
  void ImportFile(const std::wstring& path);
  // Escape anywhere in the window closes it; Enter in the number box runs the query.
  bool PreTranslate(MSG& message);

  // After the main loop: releases the session unless workers may still use it.
  void ProgramCleanup();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK TabProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                  UINT_PTR id, DWORD_PTR self);
  static LRESULT CALLBACK TableProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                    UINT_PTR id, DWORD_PTR self);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void OnCommand(int id, int code);
  LRESULT OnNotify(NMHDR* header);
  void Close();
  void CreateControls();
  void SetStackingOrder();
  void UpdateProgressTitle();
  // Runs a batch over `rows` rows with the progress in the title.
  void RunBatchWithProgress(int rows, const std::function<void()>& run);
  void UpdateRetryHint();
  void CreateRetryHint();
  int SelectedRow() const;
  void PutOnClipboard(const std::wstring& text);
  std::wstring ControlText(ControlId id) const;

  WinMessagePump& pump_;
  std::wstring program_directory_;
  WindowHooks hooks_;
  HWND hwnd_ = nullptr;
  HWND controls_[32] = {};
  HFONT font_ = nullptr;
  HBRUSH page_brush_ = nullptr;
  HWND retry_hint_ = nullptr;  // the batch button's tooltip
  std::unique_ptr<ListViewTable> table_;
  std::unique_ptr<BatchSession> session_;
  int page_ = kQueryPage;
  std::wstring last_file_;
  bool closing_ = false;
  bool ended_cleanly_ = true;
  int progress_total_ = 0;
  int progress_base_ = 0;
  int batches_starting_ = 0;  // StartBatchQuery calls that have not returned
};

}  // namespace kelvaro::win
