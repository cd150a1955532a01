// The window logic with a window of its own for tests: a view that records what the logic
// shows and answers its dialogs as the test says, and a list control whose rows are a grid
// of 10-px rows and 100-px columns. The test's thread is the window's thread; its pump is a
// standard-library one.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "batch/message_pump.h"
#include "support/temp_dir.h"
#include "window/window_logic.h"
#include "window/window_table.h"
#include "window/window_view.h"

namespace kelvaro::test {

class FakeView : public WindowView {
 public:
  FakeView();

  bool IsOpen() const override { return open; }
  void SetTitle(const std::string& text) override {
    title = text;
    titles.push_back(text);
  }
  std::string ControlText(ControlId id) const override;
  void SetControlText(ControlId id, const std::string& text) override { texts[id] = text; }
  void AppendControlText(ControlId id, const std::string& text) override { texts[id] += text; }
  void EnableControl(ControlId id, bool enabled) override { disabled[id] = !enabled; }
  void SetToolTip(ControlId id, const std::string& text) override { tooltips[id] = text; }
  void ShowError(const std::string& caption, const std::string& text) override {
    errors.emplace_back(caption, text);
  }
  void ShowNotice(const std::string& caption, const std::string& text) override {
    notices.emplace_back(caption, text);
  }
  bool Confirm(const std::string& caption, const std::string& text) override {
    questions.emplace_back(caption, text);
    return confirm_answer;
  }
  std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                     const std::string& initial) override {
    text_asked.push_back({caption, prompt, initial});
    return text_answer;
  }
  std::optional<std::string> ChooseFileToOpen(const std::string& directory,
                                              const std::string& last_file) override;
  std::optional<std::string> ChooseFileToSave(const std::string& suggested_path) override;
  std::optional<std::string> AskFolder(const std::string& caption,
                                       const std::string& directory) override {
    folder_asked.emplace_back(caption, directory);
    return folder_answer;
  }
  void PutOnClipboard(const std::string& text) override { clipboard = text; }
  std::string ClipboardText() override { return clipboard; }
  int SelectedRow() const override { return selected_row; }
  bool OpenUrl(const std::string& url) override {
    opened.push_back(url);
    return open_url_works;
  }
  void StartTimer(int interval_ms) override { timer_ms = interval_ms; }
  void StopTimer() override { timer_ms = 0; }

  bool open = true;
  std::string title;
  std::vector<std::string> titles;         // every title set, in order
  std::map<ControlId, std::string> texts;  // starts with the layout's texts
  std::map<ControlId, bool> disabled;
  std::map<ControlId, std::string> tooltips;
  std::vector<std::pair<std::string, std::string>> errors;     // caption, text
  std::vector<std::pair<std::string, std::string>> notices;    // caption, text
  std::vector<std::pair<std::string, std::string>> questions;  // caption, text
  bool confirm_answer = true;                                  // every question's answer
  // AskText's answer (nothing: cancel), and what it was asked: caption, prompt, initial.
  std::optional<std::string> text_answer;
  std::vector<std::vector<std::string>> text_asked;
  std::string clipboard = "clipboard before";
  int selected_row = -1;
  int timer_ms = 0;                 // 0: stopped
  std::vector<std::string> opened;  // the addresses OpenUrl was given
  bool open_url_works = true;
  // The dialogs' answers (nothing: cancel) and what they were asked.
  std::optional<std::string> open_answer;
  std::optional<std::string> save_answer;
  std::vector<std::pair<std::string, std::string>> open_asked;  // directory, last file
  std::vector<std::string> save_asked;
  std::optional<std::string> folder_answer;
  std::vector<std::pair<std::string, std::string>> folder_asked;  // caption, directory
  // Runs while the open dialog is up (a nested event), if set.
  std::function<void()> during_open;
};

// Rows 10 px high from y = 0, columns 100 px wide from x = 0.
class GridControl : public ListControl {
 public:
  GridControl(WindowTable& table, StdMessagePump& pump);
  bool OnWindowThread() const override { return std::this_thread::get_id() == thread_; }
  bool RunOnWindowThread(const std::function<void()>& task) override;
  void ScheduleSync() override;
  void BeginInsertRows(int, int) override { ++inserts; }
  void EndInsertRows() override {}
  void BeginRemoveRows(int first, int last) override { removals.emplace_back(first, last); }
  void EndRemoveRows() override {}
  void BeginReset() override { ++resets; }
  void EndReset() override {}
  void RowsChanged(int first, int last) override { changes.emplace_back(first, last); }
  void BeginReorder() override {}
  void EndReorder(const std::vector<int>& new_rows) override { reorders.push_back(new_rows); }
  void ShowOrder(const RowOrder& order) override { shown_order = order; }
  void ScrollToRow(int row) override { scrolled_to = row; }
  CellHit HitTest(int x, int y) override;

  // What the table told the control.
  int inserts = 0;
  int resets = 0;
  std::vector<std::pair<int, int>> removals;  // first, last
  std::vector<std::pair<int, int>> changes;
  std::vector<std::vector<int>> reorders;
  RowOrder shown_order;
  int scrolled_to = -1;

 private:
  WindowTable& table_;
  StdMessagePump& pump_;
  std::thread::id thread_;
};

// A window: view, table, control, pump and logic, created as a window is.
class FakeWindow {
 public:
  // The program directory is `files`' own folder unless given.
  explicit FakeWindow(std::optional<std::string> program_directory = std::nullopt);
  ~FakeWindow();
  FakeWindow(const FakeWindow&) = delete;
  FakeWindow& operator=(const FakeWindow&) = delete;

  TempDir files;
  FakeView view;
  StdMessagePump pump;
  WindowTable table;
  GridControl control{table, pump};
  WindowLogic logic;

  // Pumps until `done` or the time-out; true when done.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(60));
  // Pumps until no worker runs.
  bool WaitForWorkers(std::chrono::milliseconds timeout = std::chrono::seconds(60));
  // Runs `task` from inside the window thread's next wait, as an event arriving then.
  void During(std::function<void()> task) { pump.Post(std::move(task)); }

  // Appends a row from cells (UTF-8); empty ones stay empty.
  void AddRow(const std::vector<std::string>& cells);
  // A cell as the window shows it (UTF-8).
  std::string Cell(int row, int column);
  std::vector<std::string> Column(int column);
  // Imports `bytes` through 按钮2 from the file `name` in `files`; gives its path.
  std::string ImportBytes(const std::string& bytes, const std::string& name = "numbers.txt");
  // The same with `lines`, each ended by CR LF.
  std::string ImportLines(const std::vector<std::string>& lines);
};

}  // namespace kelvaro::test
