// The Result table: a report-view list-view over a RowStore. The list-view asks for its
// texts (owner data), so the whole text of every cell stays in the store. Every
// operation runs on the window's thread; a worker reaches it with SendMessage.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "batch/row_store.h"

namespace kelvaro::win {

class ListViewTable : public ResultTable {
 public:
  // The message `host` handles with RunTask (its window procedure calls it).
  static constexpr UINT kRunTaskMessage = WM_APP + 1;
  static constexpr int kColumnWidths[kColumnCount] = {40, 200, 80, 200, 400};

  // Makes the list-view as a child of `parent` at `rect`; `host` is the window whose
  // thread owns it.
  ListViewTable(HWND host, HWND parent, int id, const RECT& rect, HFONT font);
  HWND hwnd() const { return list_; }

  // The host's procedure for kRunTaskMessage.
  static LRESULT RunTask(LPARAM task);
  // WM_NOTIFY from the list-view (its texts and tooltips); true when handled.
  bool OnNotify(NMHDR* header, LRESULT* result);

  int RowCount() override;
  int AppendRow(const Text& ordinal) override;
  Text GetCellText(int row, int column) override;
  void SetCellText(int row, int column, const Text& text) override;
  void DeleteRow(int row) override;
  void ClearRows() override;
  int FindRow(const Text& text, int column) override;
  CellHit HitTestCell(int x, int y) override;

  std::vector<RowId> RowIds() override;
  int RowIndexOf(RowId id) override;
  Text GetCellTextById(RowId id, int column) override;
  void SetCellTextById(RowId id, int column, const Text& text) override;
  void DeleteRowById(RowId id) override;
  void MakeRowVisibleById(RowId id) override;
  void SetReasonById(RowId id, const RowReason& reason) override;
  RowReason ReasonById(RowId id) override;

  // The status cell's tooltip: why the row's lookup ended, in Chinese.
  std::wstring ReasonText(int row);
  // Every row, in the table's order.
  std::vector<RowStore::Row> Snapshot();

 private:
  // Runs `task` on the host's thread and waits for it. Once the window is gone the rows
  // are worked on directly.
  void OnWindowThread(const std::function<void()>& task);
  void SyncCount();
  void RedrawRow(int row);

  HWND host_;
  HWND list_ = nullptr;
  DWORD window_thread_;
  RowStore store_;
  std::wstring shown_;  // the text the list-view was last handed
};

}  // namespace kelvaro::win
