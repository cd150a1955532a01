#include "win32/list_view_table.h"

#include <commctrl.h>

#include <cstdint>
#include <optional>

#include "rows/columns.h"
#include "win32/win_text.h"
#include "window/layout.h"

namespace kelvaro::win {
namespace {

COLORREF ColourRef(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace

ListViewTable::ListViewTable(HWND host, HWND parent, int id, const RECT& rect, HFONT font)
    : host_(host), window_thread_(GetCurrentThreadId()) {
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                              LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                          rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          GetModuleHandleW(nullptr), nullptr);
  table_.SetControl(this);
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP,
               LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  SendMessageW(list_, LVM_SETBKCOLOR, 0, RGB(255, 255, 255));
  SendMessageW(list_, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
  for (std::size_t i = 0; i < ShownColumns().size(); ++i) {
    const ColumnSpec& shown = *ShownColumns()[i];
    const int column = static_cast<int>(i);
    std::wstring header = Utf8ToWide(shown.header);
    LVCOLUMNW spec{};
    spec.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    spec.fmt = shown.alignment == ColumnAlignment::kLeft ? LVCFMT_LEFT : LVCFMT_CENTER;
    spec.cx = shown.width;
    spec.pszText = header.data();
    spec.iSubItem = column;
    SendMessageW(list_, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&spec));
  }
}

ListViewTable::~ListViewTable() { table_.SetControl(nullptr); }

LRESULT ListViewTable::RunTask(LPARAM task) {
  (*reinterpret_cast<const std::function<void()>*>(task))();
  return 1;
}

bool ListViewTable::OnWindowThread() const { return GetCurrentThreadId() == window_thread_; }

bool ListViewTable::RunOnWindowThread(const std::function<void()>& task) {
  // The window's thread serves this while it dispatches, also inside its pumping waits.
  return IsWindow(host_) &&
         SendMessageW(host_, kRunTaskMessage, 0, reinterpret_cast<LPARAM>(&task)) != 0;
}

void ListViewTable::ScheduleSync() { PostMessageW(host_, kSyncMessage, 0, 0); }

void ListViewTable::OnSyncMessage() {
  SetTimer(host_, kSyncTimer, WindowTable::kSyncIntervalMs, nullptr);
}

void ListViewTable::OnSyncTimer() {
  KillTimer(host_, kSyncTimer);
  table_.SyncView();
}

void ListViewTable::EndInsertRows() {
  if (IsWindow(list_)) {
    SendMessageW(list_, LVM_SETITEMCOUNT, table_.ViewRowCount(),
                 LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
  }
}

void ListViewTable::SyncCount() {
  if (!IsWindow(list_)) return;
  SendMessageW(list_, LVM_SETITEMCOUNT, table_.ViewRowCount(), LVSICF_NOSCROLL);
  InvalidateRect(list_, nullptr, FALSE);
}

void ListViewTable::RowsChanged(int first, int last) {
  if (IsWindow(list_)) SendMessageW(list_, LVM_REDRAWITEMS, first, last);
}

void ListViewTable::BeginReorder() {
  if (!IsWindow(list_)) return;
  selected_ = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
  focused_ = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
}

void ListViewTable::EndReorder(const std::vector<int>& new_rows) {
  if (!IsWindow(list_)) return;
  // An owner-data list keeps its states by index: move them with their rows.
  const auto moved = [&](int row) {
    return row >= 0 && static_cast<std::size_t>(row) < new_rows.size()
               ? new_rows[static_cast<std::size_t>(row)]
               : -1;
  };
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  if (const int row = moved(selected_); row >= 0) {
    state.stateMask = state.state = LVIS_SELECTED;
    SendMessageW(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }
  if (const int row = moved(focused_); row >= 0) {
    state.stateMask = state.state = LVIS_FOCUSED;
    SendMessageW(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }
  selected_ = focused_ = -1;
  InvalidateRect(list_, nullptr, FALSE);
}

void ListViewTable::ShowOrder(const RowOrder& order) {
  if (!IsWindow(list_)) return;
  auto* header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
  if (header == nullptr) return;
  const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  for (int column = 0; column < count; ++column) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item));
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (column == order.column) item.fmt |= order.descending ? HDF_SORTDOWN : HDF_SORTUP;
    SendMessageW(header, HDM_SETITEMW, column, reinterpret_cast<LPARAM>(&item));
  }
}

void ListViewTable::ScrollToRow(int row) {
  if (IsWindow(list_)) SendMessageW(list_, LVM_ENSUREVISIBLE, row, FALSE);
}

CellHit ListViewTable::HitTest(int x, int y) {
  CellHit hit;
  if (!IsWindow(list_)) return hit;
  LVHITTESTINFO info{};
  info.pt.x = x;
  info.pt.y = y;
  SendMessageW(list_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&info));
  // A point beside the rows or right of the last column is no cell.
  if ((info.flags & LVHT_ONITEM) == 0) return hit;
  hit.row = info.iItem;
  hit.column = info.iSubItem;
  return hit;
}

LRESULT ListViewTable::OnCustomDraw(NMHDR* header) {
  NMLVCUSTOMDRAW& draw = *reinterpret_cast<NMLVCUSTOMDRAW*>(header);
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      const int row = static_cast<int>(draw.nmcd.dwItemSpec);
      // The list-view's own state, not uItemState, which it does not keep for owner data.
      const bool selected =
          (SendMessageW(list_, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
      const std::optional<CellColours> colours =
          selected ? std::nullopt : table_.CellColour(row, draw.iSubItem);
      // Colours set for one cell stay for the next ones unless set again.
      draw.clrTextBk = colours ? ColourRef(colours->background) : CLR_DEFAULT;
      draw.clrText = colours ? ColourRef(colours->text) : CLR_DEFAULT;
      return CDRF_NEWFONT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

bool ListViewTable::OnNotify(NMHDR* header, LRESULT* result) {
  if (header->hwndFrom != list_) return false;
  if (header->code == NM_CUSTOMDRAW) {
    *result = OnCustomDraw(header);
    return true;
  }
  if (header->code == LVN_GETDISPINFOW) {
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
    if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
      shown_ = Utf8ToWide(table_.CellText(item.iItem, item.iSubItem));
      lstrcpynW(item.pszText, shown_.c_str(), item.cchTextMax);
    }
    *result = 0;
    return true;
  }
  if (header->code == LVN_GETINFOTIPW) {
    auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(header);
    // The row's tip, wherever on the row: where its number came from, why its lookup ended.
    std::string words = table_.CellToolTip(tip->iItem, ColumnIndex(Column::kNumber));
    const std::string reason = table_.CellToolTip(tip->iItem, ColumnIndex(Column::kStatus));
    if (!reason.empty()) words += (words.empty() ? "" : "\r\n") + reason;
    const std::wstring text = Utf8ToWide(words);
    if (!text.empty() && tip->pszText != nullptr && tip->cchTextMax > 0) {
      lstrcpynW(tip->pszText, text.c_str(), tip->cchTextMax);
    }
    *result = 0;
    return true;
  }
  return false;
}

}  // namespace kelvaro::win
