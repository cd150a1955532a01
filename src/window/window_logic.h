// What the window does, once for every toolkit: each button, the Result table's double-click,
// menu, keys and dropped files, the progress title, and the window's closing. A toolkit's
// window creates its controls from the layout, forwards its events here and implements the
// view.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/message_pump.h"
#include "rows/folder.h"
#include "rows/result_table.h"
#include "rows/verdicts.h"
#include "session/batch_progress.h"
#include "session/batch_session.h"
#include "site/standard_site.h"
#include "window/layout.h"
#include "window/window_table.h"
#include "window/window_view.h"

namespace kelvaro {

// Where the import's dialog starts: the program directory when the user may write there (a
// portable copy), else the home directory (an installed copy's folder is no place for lists
// of numbers).
std::string ImportStartDirectory(const std::string& program_directory);
// The folder part of a path (either separator); empty when it has none.
std::string DirectoryOf(const std::string& path);

class WindowLogic {
 public:
  // How long closing waits for a batch's workers to end.
  static constexpr std::chrono::milliseconds kCloseGrace{1000};
  static constexpr int kProgressIntervalMs = 100;
  // The most clipboard text a paste reads (2 MB: some 700,000 Chinese characters).
  static constexpr std::size_t kMaxPasteBytes = 2u << 20;

  // `view`, `table` and `pump` outlive the logic; `pump` is the window thread's.
  WindowLogic(WindowView& view, WindowTable& table, MessagePump& pump,
              std::string program_directory);
  ~WindowLogic();
  WindowLogic(const WindowLogic&) = delete;
  WindowLogic& operator=(const WindowLogic&) = delete;

  // The site standards are looked up on, which the toolkit's program resolves; until it says,
  // the first of Sites() at the address built in.
  void SetSite(const Site& site);
  const Site& site() const { return site_; }

  // Every control exists: the window's creation is complete. Makes the batch session and its
  // query lock.
  void Created();

  // 按钮1, 按钮2, 按钮3, 按钮4, 按钮5 by their id; other ids do nothing.
  void Clicked(ControlId id);
  // Enter in the number box: as 按钮1, unless its query is still running.
  void NumberBoxEntered();
  // 按钮1: the number box's number looked up off the window's thread, the report written
  // into 编辑框2, the button disabled meanwhile.
  void ShowSingleQueryReport();
  // 按钮2: asks for a file (in ImportStartDirectory, then where the last one was) and
  // imports it; cancel changes nothing.
  void ImportNumbers();
  // A file chosen or dropped on the table: replaces the rows; one that cannot be read leaves
  // them as they were and is reported.
  void ImportFile(const std::string& path);
  // 导入文件夹…: asks for a folder (beside the last file) and imports it; cancel changes
  // nothing.
  void ChooseFolderToImport();
  // Every document under `folder`, read off the window's thread (the title counting them),
  // replaces the rows, once the user says so when rows were looked up; what was passed over
  // is said once at the end. Closing the window stops the reading.
  void ImportFolder(const std::string& folder);
  // Something dropped on the table: a folder as ImportFolder, anything else as ImportFile.
  void ImportDropped(const std::string& path);
  // 按钮3: every row, at most the speed box's number running at once.
  void StartBatchQuery();
  // 按钮4 (现行) and 按钮5 (有新标准): the buttons the verdict table names remove the rows
  // whose status cell holds their verdict's word.
  void RemoveRowsWithStatus(Verdict verdict);
  // The table's double-click at (x, y) in its own coordinates: the cell's text on the
  // clipboard; a miss leaves the clipboard as it was.
  void CopyCellOnDoubleClick(int x, int y);

  // A click on the table's header: sorts by that column, the next click on it reverses the
  // order, the third goes back to the import's order.
  void HeaderClicked(int column);

  // The table's context menu.
  bool IsCommandEnabled(TableCommand command) const;
  void RunTableCommand(TableCommand command);
  void CopySelectedRow();  // also Ctrl+C
  void CopyAllRows();
  // Ctrl+V and 粘贴: the clipboard's text as a document; its citations replace the rows (a
  // text without any, or longer than kMaxPasteBytes, leaves them and says so). Rows that
  // were looked up are replaced only when the user says so.
  void Paste();
  void ExportCsv();
  void ExportXlsx();
  // The .docx or .xlsx the rows came from, with its citations marked (and in a Word
  // document, with `replace`, the superseded ones replaced as tracked changes), as a copy
  // beside it; rows not looked up yet are looked up first and the copy is written once they
  // are. Rows from a folder: a copy of each of its .docx and .xlsx documents, in an empty
  // folder the user chooses outside it.
  void ExportMarkedDocument(bool replace = false);
  // What the rows' document needs changed: a workbook, or CSV when the chosen name ends so.
  void ExportChanges();
  // The selected row's search on the site, in the browser.
  void OpenSearchPage();
  // 查询网站…: shows the site's address, and takes and keeps another in the settings file.
  void ChangeSiteAddress();
  // The settings file the site's address is kept in (platform::SettingsFilePath() unless set).
  void SetSettingsFile(std::string path) { settings_file_ = std::move(path); }
  // The rows left 未知 because the site could not be asked or the lookup was ended.
  void RequeryFailedRows();
  // Every row, asked of the site whatever the lookup store holds.
  void RequeryAllRows();
  // Batches keep their lookups in the store at `path` (empty: none) and answer from it those
  // a week old at most; a store that cannot be used is said once, and the window goes on.
  void UseStore(const std::string& path);

  // The view's timer while batches run: the progress title, then the title as it was and
  // the retry hint once the last worker has ended.
  void OnTimer();

  // The window is closing (close box, Escape): no further row starts, requests in flight
  // are aborted, workers are waited for up to kCloseGrace. False when some were left.
  bool Closing();
  // After the main loop: releases the session unless workers may still use it; then it and
  // the table must end with the process. False in that case.
  bool ProgramCleanup();

  BatchSession* session() { return session_.get(); }
  const std::string& last_file() const { return last_file_; }
  const std::string& program_directory() const { return program_directory_; }

 private:
  template <typename Run>
  void RunBatchWithProgress(int rows, Run run);
  void UpdateProgress();
  void UpdateRetryHint();
  std::string DialogDirectory() const;
  // Asks where to write the `extension` file and writes what `contents` gives (nothing when
  // it gives nothing); the path when written.
  template <typename Contents>
  std::optional<std::string> Export(const char* extension, Contents contents);
  // The same proposing `name`; `contents` also gets the chosen path.
  template <typename Contents>
  std::optional<std::string> ExportAs(const std::string& name, Contents contents);
  // Where a file went, and how many of its cells Excel made the writer cut.
  void ShowSaved(const std::string& path, std::size_t cells_cut = 0);
  int RowsWithResults() const;
  bool BatchActive() const;
  void WriteMarkedCopy(const std::string& source, const std::string& target, bool replace);
  void ExportMarkedFolder(bool replace);
  void WriteMarkedFolder(const std::string& target, bool replace);
  // Runs `work` on a thread of its own while this thread's pump dispatches, `tick` between
  // waits and once more after `work` has ended.
  template <typename Work, typename Tick>
  void RunOffWindowThread(Work work, Tick tick);
  // Whether the rows removed since the import may be left out of what is written: none
  // were, or the user says so.
  bool GoOnWithoutRemovedRows();

  WindowView& view_;
  WindowTable& table_;
  MessagePump& pump_;
  std::string program_directory_;
  Site site_ = Sites().front();
  std::unique_ptr<BatchSession> session_;
  std::unique_ptr<BatchProgress> progress_;
  std::string last_file_;  // the file chosen or dropped last, for the dialogs
  std::string rows_file_;  // the file or folder the rows were imported from; empty after a paste
  // The documents of the folder the rows came from; empty when they came from a file.
  std::vector<FolderDocument> rows_folder_;
  bool folder_work_running_ = false;  // a folder read or its copies written
  std::atomic<bool> folder_stop_{false};
  int imported_rows_ = 0;  // how many rows the last import or paste made
  std::string settings_file_;
  // A marked copy waiting for its rows' lookups: the document and where to write.
  struct PendingMark {
    std::string source, target;
    bool replace = false;
    bool folder = false;  // `target` the folder a folder's copies go to
  };
  std::optional<PendingMark> pending_mark_;
  bool single_query_running_ = false;
  bool ended_cleanly_ = true;
};

}  // namespace kelvaro
