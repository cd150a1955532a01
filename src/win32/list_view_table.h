// The Result table's list control: a report-view list-view that asks for its texts (owner
// data), so the whole text of every cell stays in the window's table.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "window/window_table.h"

namespace kelvaro::win {

class ListViewTable : private ListControl {
 public:
  // What `host`'s window procedure hands to RunTask, OnSyncMessage and OnSyncTimer.
  static constexpr UINT kRunTaskMessage = WM_APP + 1;
  static constexpr UINT kSyncMessage = WM_APP + 2;
  static constexpr UINT_PTR kSyncTimer = 2;

  // Makes the list-view as a child of `parent` at `rect`; `host` is the window whose
  // thread owns it.
  ListViewTable(HWND host, HWND parent, int id, const RECT& rect, HFONT font);
  ~ListViewTable() override;
  ListViewTable(const ListViewTable&) = delete;
  ListViewTable& operator=(const ListViewTable&) = delete;

  HWND hwnd() const { return list_; }
  WindowTable& table() { return table_; }

  static LRESULT RunTask(LPARAM task);
  void OnSyncMessage();
  void OnSyncTimer();
  // WM_NOTIFY from the list-view (its texts, tooltips and colours); true when handled.
  bool OnNotify(NMHDR* header, LRESULT* result);

 private:
  bool OnWindowThread() const override;
  bool RunOnWindowThread(const std::function<void()>& task) override;
  void ScheduleSync() override;
  void BeginInsertRows(int, int) override {}
  void EndInsertRows() override;
  void BeginRemoveRows(int, int) override {}
  void EndRemoveRows() override { SyncCount(); }
  void BeginReset() override {}
  void EndReset() override { SyncCount(); }
  void RowsChanged(int first, int last) override;
  void BeginReorder() override;
  void EndReorder(const std::vector<int>& new_rows) override;
  void ShowOrder(const RowOrder& order) override;
  void ScrollToRow(int row) override;
  CellHit HitTest(int x, int y) override;
  void SyncCount();
  LRESULT OnCustomDraw(NMHDR* header);

  HWND host_;
  HWND list_ = nullptr;
  DWORD window_thread_;
  WindowTable table_;
  std::wstring shown_;  // the text the list-view was last handed
  // Across a reorder: the selected and the focused row (-1 for none).
  int selected_ = -1;
  int focused_ = -1;
};

}  // namespace kelvaro::win
