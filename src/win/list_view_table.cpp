#include "win/list_view_table.h"

#include <commctrl.h>

#include "batch/table_export.h"
#include "win/win_text.h"

namespace kelvaro::win {

ListViewTable::ListViewTable(HWND host, HWND parent, int id, const RECT& rect, HFONT font)
    : host_(host), window_thread_(GetCurrentThreadId()) {
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                              LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                          rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          GetModuleHandleW(nullptr), nullptr);
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP,
               LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  SendMessageW(list_, LVM_SETBKCOLOR, 0, RGB(255, 255, 255));
  SendMessageW(list_, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
  for (int column = 0; column < kColumnCount; ++column) {
    std::wstring header = Utf8ToWide(ColumnHeader(column));
    LVCOLUMNW spec{};
    spec.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    spec.fmt = column == ColumnIndex(Column::kOrdinal) ? LVCFMT_LEFT : LVCFMT_CENTER;
    spec.cx = kColumnWidths[column];
    spec.pszText = header.data();
    spec.iSubItem = column;
    SendMessageW(list_, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&spec));
  }
}

LRESULT ListViewTable::RunTask(LPARAM task) {
  (*reinterpret_cast<const std::function<void()>*>(task))();
  return 1;
}

void ListViewTable::OnWindowThread(const std::function<void()>& task) {
  if (GetCurrentThreadId() == window_thread_ || !IsWindow(host_)) {
    task();
    return;
  }
  // The window's thread serves this while it dispatches, also inside its pumping waits.
  if (SendMessageW(host_, kRunTaskMessage, 0, reinterpret_cast<LPARAM>(&task)) == 0) {
    task();  // the window went away before it could serve us
  }
}

void ListViewTable::SyncCount() {
  if (!IsWindow(list_)) return;
  SendMessageW(list_, LVM_SETITEMCOUNT, store_.RowCount(), LVSICF_NOSCROLL);
  InvalidateRect(list_, nullptr, FALSE);
}

void ListViewTable::RedrawRow(int row) {
  if (IsWindow(list_) && row >= 0) SendMessageW(list_, LVM_REDRAWITEMS, row, row);
}

bool ListViewTable::OnNotify(NMHDR* header, LRESULT* result) {
  if (header->hwndFrom != list_) return false;
  if (header->code == LVN_GETDISPINFOW) {
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
    if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
      shown_ = GbkToWide(store_.GetCellText(item.iItem, item.iSubItem));
      lstrcpynW(item.pszText, shown_.c_str(), item.cchTextMax);
    }
    *result = 0;
    return true;
  }
  if (header->code == LVN_GETINFOTIPW) {
    auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(header);
    const std::wstring text = ReasonText(tip->iItem);
    if (!text.empty() && tip->pszText != nullptr && tip->cchTextMax > 0) {
      lstrcpynW(tip->pszText, text.c_str(), tip->cchTextMax);
    }
    *result = 0;
    return true;
  }
  return false;
}

std::wstring ListViewTable::ReasonText(int row) {
  const std::vector<RowId> ids = store_.RowIds();
  if (row < 0 || row >= static_cast<int>(ids.size())) return {};
  return Utf8ToWide(ReasonDescription(store_.ReasonById(ids[static_cast<size_t>(row)])));
}

std::vector<RowStore::Row> ListViewTable::Snapshot() {
  std::vector<RowStore::Row> rows;
  OnWindowThread([&] { rows = store_.Snapshot(); });
  return rows;
}

int ListViewTable::RowCount() {
  int count = 0;
  OnWindowThread([&] { count = store_.RowCount(); });
  return count;
}

int ListViewTable::AppendRow(const Text& ordinal) {
  int row = -1;
  OnWindowThread([&] {
    row = store_.AppendRow(ordinal);
    if (IsWindow(list_)) {
      SendMessageW(list_, LVM_SETITEMCOUNT, store_.RowCount(),
                   LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    }
  });
  return row;
}

Text ListViewTable::GetCellText(int row, int column) {
  Text text;
  OnWindowThread([&] { text = store_.GetCellText(row, column); });
  return text;
}

void ListViewTable::SetCellText(int row, int column, const Text& text) {
  OnWindowThread([&] {
    store_.SetCellText(row, column, text);
    RedrawRow(row);
  });
}

void ListViewTable::DeleteRow(int row) {
  OnWindowThread([&] {
    store_.DeleteRow(row);
    SyncCount();
  });
}

void ListViewTable::ClearRows() {
  OnWindowThread([&] {
    store_.ClearRows();
    SyncCount();
  });
}

int ListViewTable::FindRow(const Text& text, int column) {
  int row = -1;
  OnWindowThread([&] { row = store_.FindRow(text, column); });
  return row;
}

CellHit ListViewTable::HitTestCell(int x, int y) {
  CellHit hit;
  OnWindowThread([&] {
    if (!IsWindow(list_)) return;
    LVHITTESTINFO info{};
    info.pt.x = x;
    info.pt.y = y;
    SendMessageW(list_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&info));
    // A point beside the rows or right of the last column is no cell.
    if (info.iItem < 0 || info.iItem >= store_.RowCount() || info.iSubItem < 0 ||
        info.iSubItem >= kColumnCount || (info.flags & LVHT_ONITEM) == 0) {
      return;
    }
    hit.row = info.iItem;
    hit.column = info.iSubItem;
  });
  return hit;
}

std::vector<RowId> ListViewTable::RowIds() {
  std::vector<RowId> ids;
  OnWindowThread([&] { ids = store_.RowIds(); });
  return ids;
}

int ListViewTable::RowIndexOf(RowId id) {
  int row = -1;
  OnWindowThread([&] { row = store_.RowIndexOf(id); });
  return row;
}

Text ListViewTable::GetCellTextById(RowId id, int column) {
  Text text;
  OnWindowThread([&] { text = store_.GetCellTextById(id, column); });
  return text;
}

void ListViewTable::SetCellTextById(RowId id, int column, const Text& text) {
  OnWindowThread([&] {
    store_.SetCellTextById(id, column, text);
    RedrawRow(store_.RowIndexOf(id));
  });
}

void ListViewTable::DeleteRowById(RowId id) {
  OnWindowThread([&] {
    store_.DeleteRowById(id);
    SyncCount();
  });
}

void ListViewTable::MakeRowVisibleById(RowId id) {
  OnWindowThread([&] {
    const int row = store_.RowIndexOf(id);
    if (row >= 0 && IsWindow(list_)) SendMessageW(list_, LVM_ENSUREVISIBLE, row, FALSE);
  });
}

void ListViewTable::SetReasonById(RowId id, const RowReason& reason) {
  OnWindowThread([&] { store_.SetReasonById(id, reason); });
}

RowReason ListViewTable::ReasonById(RowId id) {
  RowReason reason;
  OnWindowThread([&] { reason = store_.ReasonById(id); });
  return reason;
}

}  // namespace kelvaro::win
