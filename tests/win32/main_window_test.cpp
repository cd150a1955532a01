// The real window under Wine (or Windows), created in this process and driven by messages.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include "query/changes.h"
#include "rows/columns.h"
#include "rows/result_table.h"
#include "rows/verdicts.h"
#include "site/site_settings.h"
#include "site/standard_site.h"
#include "support/named_case.h"
#include "support/office_builder.h"
#include "support/open_handles.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "win32/main_window.h"
#include "win32/program.h"
#include "win32/win_text.h"
#include "window/layout.h"
#include "window/window_logic.h"
#include "window/window_texts.h"

namespace kelvaro::win {
namespace {

std::wstring W(const char* utf8) { return Utf8ToWide(utf8); }

std::wstring TextOf(HWND hwnd) {
  wchar_t buffer[1024] = {};
  SendMessageW(hwnd, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

// A quit message left by a closed window would stop every later pump in this thread.
void DrainQuit() {
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

std::string SiteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    hooks_.choose_file = [this](HWND, const std::wstring& initial) {
      dialog_starts_.push_back(initial);
      return chosen_.empty() ? std::nullopt : std::optional<std::wstring>(chosen_);
    };
    hooks_.show_error = [this](HWND, const std::wstring&, const std::wstring& text) {
      errors_.push_back(text);
    };
    hooks_.show_notice = [this](HWND, const std::wstring&, const std::wstring& text) {
      notices_.push_back(text);
    };
    hooks_.confirm = [this](HWND, const std::wstring&, const std::wstring& text) {
      questions_.push_back(text);
      return confirm_answer_;
    };
    hooks_.ask_text = [this](HWND, const std::wstring&, const std::wstring&,
                             const std::wstring& initial) {
      text_initial_.push_back(initial);
      return text_answer_;
    };
    program_directory_ = Utf8ToWide(files_.File("")) + W("程序");
    CreateDirectoryW(program_directory_.c_str(), nullptr);
    window_ = std::make_unique<MainWindow>(pump_, program_directory_, hooks_);
    ASSERT_TRUE(window_->Create());
    window_->Show();
  }

  void TearDown() override {
    if (window_->hwnd() != nullptr) SendMessageW(window_->hwnd(), WM_CLOSE, 0, 0);
    window_.reset();
    DrainQuit();
  }

  HWND Control(ControlId id) { return window_->control(id); }
  void Click(ControlId id) { SendMessageW(Control(id), BM_CLICK, 0, 0); }
  void SelectPage(int page) {
    // TCM_SETCURFOCUS notifies as a click on the tab would.
    SendMessageW(Control(kTabControl), TCM_SETCURFOCUS, page, 0);
  }

  std::wstring ListText(int row, int column) {
    wchar_t buffer[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = std::size(buffer);
    SendMessageW(Control(kResultList), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
  }
  int ListRows() {
    return static_cast<int>(SendMessageW(Control(kResultList), LVM_GETITEMCOUNT, 0, 0));
  }

  // Imports `utf8_lines` through the import button and the dialog seam, from a file with
  // a Chinese name (written with the wide API: the path is no narrow string anywhere).
  void Import(const std::string& utf8_lines) {
    chosen_ = Utf8ToWide(files_.File("")) + W("编号.txt");
    HANDLE file = CreateFileW(chosen_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, utf8_lines.data(), static_cast<DWORD>(utf8_lines.size()), &written, nullptr);
    CloseHandle(file);
    Click(kImportButton);
  }

  // Double-click at a point of the list-view, as the control reports it.
  void DoubleClickAt(POINT point) {
    NMITEMACTIVATE activate{};
    activate.hdr.hwndFrom = Control(kResultList);
    activate.hdr.idFrom = kResultList;
    activate.hdr.code = NM_DBLCLK;
    activate.ptAction = point;
    SendMessageW(Control(kTabControl), WM_NOTIFY, kResultList, reinterpret_cast<LPARAM>(&activate));
  }
  POINT CellCentre(int row, int column) {
    RECT cell{};
    cell.top = column;
    cell.left = LVIR_LABEL;
    SendMessageW(Control(kResultList), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    return POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
  }

  WinMessagePump pump_;
  WindowHooks hooks_;
  std::unique_ptr<MainWindow> window_;
  test::TempDir files_;
  std::wstring program_directory_;
  std::wstring chosen_;
  std::vector<std::wstring> dialog_starts_;
  std::vector<std::wstring> errors_;
  std::vector<std::wstring> notices_;
  std::vector<std::wstring> questions_;
  bool confirm_answer_ = true;
  std::vector<std::wstring> text_initial_;
  std::optional<std::wstring> text_answer_;
};

TEST_F(WindowTest, ClientAreaTitleAndFrame) {
  RECT client{};
  GetClientRect(window_->hwnd(), &client);
  EXPECT_EQ(client.right, kClientWidth);
  EXPECT_EQ(client.bottom, kClientHeight);
  EXPECT_EQ(TextOf(window_->hwnd()),
            W("Kelvaro（出现大量未知结果，换网或者等一会）--Tamsile qv2468"));
  const LONG_PTR style = GetWindowLongPtrW(window_->hwnd(), GWL_STYLE);
  EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
  EXPECT_EQ(style & WS_THICKFRAME, 0);
  EXPECT_NE(style & WS_MINIMIZEBOX, 0);
  EXPECT_NE(style & WS_SYSMENU, 0);
  RECT outer{};
  GetWindowRect(window_->hwnd(), &outer);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
}

// Each control of the layout: its parent, its rectangle relative to the parent, its text.
class LayoutTest : public WindowTest, public ::testing::WithParamInterface<ControlSpec> {};

TEST_P(LayoutTest, ControlSitsWhereTheLayoutPutsIt) {
  const ControlSpec& spec = GetParam();
  HWND hwnd = Control(spec.id);
  ASSERT_NE(hwnd, nullptr);
  HWND parent = spec.page == kOnWindow ? window_->hwnd() : Control(kTabControl);
  EXPECT_EQ(GetParent(hwnd), parent);
  EXPECT_EQ(GetDlgItem(parent, spec.id), hwnd);
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, spec.left);
  EXPECT_EQ(rect.top, spec.top);
  EXPECT_EQ(rect.right - rect.left, spec.width);
  EXPECT_EQ(rect.bottom - rect.top, spec.height);
  if (spec.kind != ControlKind::kTab && spec.kind != ControlKind::kListView) {
    EXPECT_EQ(TextOf(hwnd), W(spec.text));
  }
}

std::string RoleOf(ControlId id);
}  // namespace
}  // namespace kelvaro::win
namespace kelvaro {
// gtest prints a parameter with this, in the test's name too.
void PrintTo(const ControlSpec& spec, std::ostream* out) { *out << win::RoleOf(spec.id); }
}  // namespace kelvaro
namespace kelvaro::win {
namespace {

// ASCII test names: the role, from the layout's own name.
std::string RoleOf(ControlId id) {
  static const std::map<int, std::string> names = {{kTabControl, "TabControl"},
                                                   {kRemoveSuperseded, "RemoveSupersededButton"},
                                                   {kExampleLabel, "ExampleLabel"},
                                                   {kNumberBox, "NumberBox"},
                                                   {kSingleQueryButton, "SingleQueryButton"},
                                                   {kReportBox, "ReportBox"},
                                                   {kInstructionLabel, "InstructionLabel"},
                                                   {kFormatLabel, "FormatLabel"},
                                                   {kImportButton, "ImportButton"},
                                                   {kBatchQueryButton, "BatchQueryButton"},
                                                   {kRemoveCurrentButton, "RemoveCurrentButton"},
                                                   {kSpeedLabel, "SpeedLabel"},
                                                   {kSpeedBox, "SpeedBox"},
                                                   {kCopyHintLabel, "CopyHintLabel"},
                                                   {kResultList, "ResultTable"}};
  return names.at(id);
}
std::string RoleName(const ::testing::TestParamInfo<ControlSpec>& info) {
  return RoleOf(info.param.id);
}

INSTANTIATE_TEST_SUITE_P(Controls, LayoutTest, ::testing::ValuesIn(Layout()), RoleName);

TEST_F(WindowTest, TabPagesAndResultColumns) {
  HWND tab = Control(kTabControl);
  ASSERT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 2);
  for (int page : {kQueryPage, kBatchPage}) {
    wchar_t text[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = std::size(text);
    SendMessageW(tab, TCM_GETITEMW, page, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(text), W(PageTitle(page)));
  }
  HWND list = Control(kResultList);
  const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_NE(style & LVS_SINGLESEL, 0);
  EXPECT_NE(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT, 0);
  for (int column = 0; column < static_cast<int>(ShownColumns().size()); ++column) {
    const ColumnSpec& shown = *ShownColumns()[static_cast<std::size_t>(column)];
    wchar_t text[64] = {};
    LVCOLUMNW spec{};
    spec.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    spec.pszText = text;
    spec.cchTextMax = std::size(text);
    ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&spec)));
    EXPECT_EQ(std::wstring(text), W(shown.header));
    EXPECT_EQ(spec.cx, shown.width);
    EXPECT_EQ(spec.fmt & LVCFMT_JUSTIFYMASK,
              shown.alignment == ColumnAlignment::kLeft ? LVCFMT_LEFT : LVCFMT_CENTER);
  }
}

TEST_F(WindowTest, EveryControlUsesTheDialogFont) {
  LOGFONTW font{};
  GetObjectW(window_->font(), sizeof font, &font);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  const std::wstring face = font.lfFaceName;
  EXPECT_TRUE(face == L"Microsoft YaHei UI" || face == metrics.lfMessageFont.lfFaceName)
      << WideToUtf8(face);
  for (const ControlSpec& spec : Layout()) {
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(Control(spec.id), WM_GETFONT, 0, 0)),
              window_->font())
        << spec.name;
  }
}

TEST_F(WindowTest, ControlsLieInLayoutOrderPerParent) {
  for (HWND parent : {window_->hwnd(), Control(kTabControl)}) {
    std::vector<std::string> expected;
    for (const ControlSpec& spec : Layout()) {
      if (GetParent(Control(spec.id)) == parent) expected.push_back(spec.name);
    }
    std::vector<std::string> stacked;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      for (const ControlSpec& spec : Layout()) {
        if (Control(spec.id) == child) stacked.push_back(spec.name);
      }
    }
    EXPECT_EQ(stacked, expected);
  }
}

TEST_F(WindowTest, OpensOnTheQueryPageAndPageChangesShowAndHide) {
  const auto visible_on = [&](int page) {
    for (const ControlSpec& spec : Layout()) {
      const bool shown = IsWindowVisible(Control(spec.id)) != FALSE;
      const bool expected = spec.page == kOnWindow || spec.page == page;
      EXPECT_EQ(shown, expected) << spec.name << " with page " << page << " selected";
    }
  };
  EXPECT_EQ(SendMessageW(Control(kTabControl), TCM_GETCURSEL, 0, 0), kQueryPage);
  visible_on(kQueryPage);
  SelectPage(kBatchPage);
  EXPECT_EQ(window_->current_page(), kBatchPage);
  visible_on(kBatchPage);
  SelectPage(kQueryPage);
  visible_on(kQueryPage);
}

TEST_F(WindowTest, EscapeOnAButtonClosesTheWindowAndLeavesTheQuitForTheMainLoop) {
  PostMessageW(Control(kSingleQueryButton), WM_KEYDOWN, VK_ESCAPE, 0);
  pump_.ProcessPendingMessages();
  EXPECT_EQ(window_->hwnd(), nullptr);
  MSG quit;
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(WindowTest, ImportDialogStartsInTheProgramDirectoryThenInTheLastFilesFolder) {
  Import("GB/T50001-2010\r\nGB/T50103-2010\n");
  ASSERT_EQ(ListRows(), 2);
  EXPECT_EQ(ListText(0, 0), L"1");
  EXPECT_EQ(ListText(1, 1), L"GB/T50103-2010");
  Import("GB 50016-2014\n");
  ASSERT_EQ(dialog_starts_.size(), 2u);
  EXPECT_EQ(dialog_starts_[0], program_directory_);
  const std::wstring first_folder = chosen_.substr(0, chosen_.find_last_of(L"\\/"));
  EXPECT_EQ(dialog_starts_[1], first_folder);
  ASSERT_EQ(ListRows(), 1);
  EXPECT_EQ(ListText(0, 1), L"GB 50016-2014");
  // What GBK cannot hold is shown as it was written.
  Import("GB 50016−2014 한국어\n");
  EXPECT_EQ(ListText(0, 1), W("GB 50016−2014 한국어"));
}

// The input box Windows lacks, made from a template in memory: it shows the text it was
// given, and gives back what was typed on 确定 and nothing on 取消.
TEST(TextDialogTest, ShowsTheTextAndGivesWhatWasTypedOnlyOnOk) {
  static std::wstring shown;
  static WPARAM button = 0;
  static bool answered = false;
  for (const WPARAM chosen : {WPARAM{IDOK}, WPARAM{IDCANCEL}}) {
    button = chosen;
    answered = false;
    shown.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
      HWND dialog = FindWindowW(L"#32770", W("查询网站").c_str());
      if (dialog == nullptr || answered) return;
      answered = true;
      wchar_t text[256] = {};
      GetDlgItemTextW(dialog, 100, text, static_cast<int>(std::size(text)));
      shown = text;
      SetDlgItemTextW(dialog, 100, L"http://typed.example");
      PostMessageW(dialog, WM_COMMAND, button, 0);
    });
    const std::optional<std::wstring> answer =
        AskTextWithDialog(nullptr, W("查询网站"), W("地址："), L"http://shown.example");
    KillTimer(nullptr, timer);
    EXPECT_EQ(shown, L"http://shown.example");
    EXPECT_EQ(answer,
              chosen == IDOK ? std::optional<std::wstring>(L"http://typed.example") : std::nullopt);
  }
  DrainQuit();
}

TEST(ImportDirectoryTest, AProgramDirectoryNobodyCanWriteToGivesTheUsersFolder) {
  wchar_t profile[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH), 0u);
  EXPECT_EQ(ImportStartDirectory("C:\\no such folder\\程序"), WideToUtf8(profile));
}

// The same document gives the same rows as on Linux.
TEST_F(WindowTest, AWordNoteAndAPdfImportTheirCitations) {
  const Bytes docx = test::BuildDocx(test::WordParagraph("依据：") +
                                     test::WordParagraph("《建筑设计防火规范》GB 50016-2014") +
                                     test::WordTable({{"1", "GB/T 50001—2017"}}));
  chosen_ = Utf8ToWide(files_.Write("note.docx", std::string(docx.begin(), docx.end())));
  Click(kImportButton);
  ASSERT_TRUE(errors_.empty()) << WideToUtf8(errors_[0]);
  ASSERT_EQ(ListRows(), 2);
  EXPECT_EQ(ListText(0, 1), L"GB 50016-2014");
  EXPECT_EQ(ListText(1, 1), W("GB/T 50001—2017"));
  // A PDF is read by the reader of our own.
  chosen_ = Utf8ToWide(files_.Write("report.pdf", test::BuildPdf({{"see GB 50009-2012"}})));
  Click(kImportButton);
  ASSERT_TRUE(errors_.empty()) << WideToUtf8(errors_[0]);
  ASSERT_EQ(ListRows(), 1);
  EXPECT_EQ(ListText(0, 1), L"GB 50009-2012");
}

TEST_F(WindowTest, ManyWaitsLeaveNoTimerHandlesBehind) {
  const int before = test::OpenHandleCount();
  for (int i = 0; i < 200; ++i) pump_.PumpingWait(1);
  EXPECT_EQ(test::OpenHandleCount(), before);
}

// The Linux sample site, started by scripts/test-windows.
class WindowBatchTest : public WindowTest {
 protected:
  void SetUp() override {
    site_ = SiteFromEnvironment("KELVARO_SAMPLE_SITE");
    if (site_.empty())
      GTEST_SKIP() << "KELVARO_SAMPLE_SITE is not set (scripts/test-windows sets it)";
    WindowTest::SetUp();
    window_->logic().SetSite(SiteAt(site_));
    SelectPage(kBatchPage);
    Import("GB/T50001-2010\nGB/T50103-2010\nGB/T99999-2010\n");
    SendMessageW(Control(kSpeedBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"2"));
    Click(kBatchQueryButton);
    ASSERT_TRUE(window_->logic().session()->WaitForWorkers());
  }
  std::string site_;
};

TEST_F(WindowBatchTest, FillsTheListViewWithTheSitesWords) {
  ASSERT_EQ(ListRows(), 3);
  EXPECT_EQ(ListText(0, 2), W("有新标准"));
  EXPECT_EQ(ListText(0, 3), L"GB/T 50001-2017");
  EXPECT_EQ(ListText(0, 4), W("房屋建筑制图统一标准"));
  EXPECT_EQ(ListText(1, 2), W("现行"));
  EXPECT_EQ(ListText(1, 3), L"GB/T 50103-2010");
  EXPECT_EQ(ListText(2, 2), W("未知"));
  EXPECT_EQ(ListText(2, 3), L"");
  // The status tooltip says why.
  EXPECT_EQ(window_->table().CellToolTip(2, 2), "网站未收录该编号");
  EXPECT_EQ(window_->table().CellToolTip(1, 2), "网站上查到该编号的现行标准");
}

TEST_F(WindowBatchTest, EnterInTheNumberBoxRunsTheSingleQuery) {
  SelectPage(kQueryPage);
  SendMessageW(Control(kNumberBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"GB/T 50103-2010"));
  PostMessageW(Control(kNumberBox), WM_KEYDOWN, VK_RETURN, 0);
  pump_.ProcessPendingMessages();
  const std::wstring report = TextOf(Control(kReportBox));
  EXPECT_EQ(report.rfind(L"\r\n", 0), 0u);
  EXPECT_NE(report.find(W("标准状态：现行")), std::wstring::npos) << WideToUtf8(report);
  EXPECT_NE(report.find(W("标准名称：总图制图标准")), std::wstring::npos);
  EXPECT_TRUE(IsWindowEnabled(Control(kSingleQueryButton)));
}

// A click on a column's header, as the mouse gives it to the header control.
TEST_F(WindowBatchTest, HeaderClicksReachTheLogicAndTheHeaderShowsTheOrder) {
  auto* header = reinterpret_cast<HWND>(SendMessageW(Control(kResultList), LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);
  const auto click = [&](int column) {
    RECT rect{};
    SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&rect));
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
  };
  const auto arrows = [&](int column) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item));
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
  };
  click(0);
  EXPECT_EQ(window_->table().order(), (RowOrder{0, false}));
  EXPECT_EQ(arrows(0), HDF_SORTUP);
  click(0);
  EXPECT_EQ(arrows(0), HDF_SORTDOWN);
  EXPECT_EQ(ListText(0, 1), L"GB/T99999-2010");
  click(0);
  EXPECT_EQ(window_->table().order(), RowOrder{});
  EXPECT_EQ(arrows(0), 0);
}

// Each status cell in its row's fill, as the list-view paints it; a selected row in the
// selection's colours.
TEST_F(WindowBatchTest, StatusCellsArePaintedInTheirFillsButASelectedRowIsNot) {
  HWND list = Control(kResultList);
  const auto painted = [&](int row) {
    RECT client{};
    GetClientRect(list, &client);
    HDC screen = GetDC(list);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ before = SelectObject(memory, bitmap);
    SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                 PRF_CLIENT | PRF_ERASEBKGND);
    RECT cell{};
    cell.top = ColumnIndex(Column::kStatus);
    cell.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    // Left of the centred word: the cell's own background.
    const COLORREF pixel = GetPixel(memory, cell.left + 3, (cell.top + cell.bottom) / 2);
    SelectObject(memory, before);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(list, screen);
    return pixel;
  };
  const auto fill = [](Verdict verdict) {
    const std::uint32_t rgb = FillRgb(SpecOf(verdict).fill).value_or(0xFFFFFF);
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  };
  // GB/T99999-2010 is not listed.
  const Verdict rows[] = {Verdict::kSuperseded, Verdict::kCurrent, Verdict::kNotListed};
  for (int row = 0; row < 3; ++row) EXPECT_EQ(painted(row), fill(rows[row])) << row;
  LVITEMW state{};
  state.stateMask = state.state = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
  EXPECT_NE(painted(1), fill(Verdict::kCurrent));
}

struct CopyCase {
  const char* name;
  int row;
  int column;
  const char* text;  // UTF-8
};
void PrintTo(const CopyCase& copy, std::ostream* out) { *out << copy.name; }

void PutOnClipboard(const std::wstring& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(block);
  SetClipboardData(CF_UNICODETEXT, block);
  CloseClipboard();
}
std::wstring ClipboardUnicode() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"(clipboard busy)";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}
LCID ClipboardLocale() {
  LCID locale = 0;
  if (!OpenClipboard(nullptr)) return 0;
  if (HANDLE data = GetClipboardData(CF_LOCALE)) {
    locale = *static_cast<const LCID*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return locale;
}
std::string ClipboardAnsi() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "(clipboard busy)";
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    text = static_cast<const char*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

class WindowCopyTest : public WindowBatchTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(WindowCopyTest, DoubleClickCopiesTheCellUnderThePoint) {
  PutOnClipboard(L"before");
  DoubleClickAt(CellCentre(GetParam().row, GetParam().column));
  EXPECT_EQ(ClipboardUnicode(), W(GetParam().text));
  // Others reading plain text get GBK, whatever the user's locale.
  EXPECT_EQ(ClipboardAnsi(), Utf8ToGbk(GetParam().text));
  EXPECT_EQ(ClipboardLocale(), 0x0804u);
}

INSTANTIATE_TEST_SUITE_P(Cells, WindowCopyTest,
                         ::testing::Values(CopyCase{"Ordinal", 0, 0, "1"},
                                           CopyCase{"Status", 0, 2, "有新标准"},
                                           CopyCase{"LatestNumber", 0, 3, "GB/T 50001-2017"},
                                           CopyCase{"LatestTitle", 1, 4, "总图制图标准"},
                                           CopyCase{"EmptyCell", 2, 3, ""}),
                         test::CaseName());

TEST_F(WindowBatchTest, ADoubleClickBelowTheRowsLeavesTheClipboard) {
  PutOnClipboard(L"kept");
  const POINT last = CellCentre(2, 1);
  DoubleClickAt(POINT{last.x, last.y + 200});
  EXPECT_EQ(ClipboardUnicode(), L"kept");
}

// What the table's context menu offered, and the command the "user" then chose.
struct MenuSeen {
  std::vector<std::wstring> items;  // texts; "-" for a separator
  std::vector<bool> enabled;
  int shown = 0;
};

class WindowMenuTest : public WindowBatchTest {
 protected:
  void SetUp() override {
    hooks_.choose_menu_item = [this](HWND, HMENU menu, POINT) {
      ++seen_.shown;
      seen_.items.clear();
      seen_.enabled.clear();
      for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, i, text, std::size(text), MF_BYPOSITION);
        const UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        seen_.items.push_back((state & MF_SEPARATOR) != 0 ? L"-" : text);
        seen_.enabled.push_back((state & (MF_GRAYED | MF_DISABLED)) == 0);
      }
      return answer_;
    };
    hooks_.choose_save_file = [this](HWND, const std::wstring& suggested) {
      suggested_ = suggested;
      return save_as_.empty() ? std::nullopt : std::optional<std::wstring>(save_as_);
    };
    hooks_.open_url = [this](HWND, const std::wstring& url) {
      opened_.push_back(url);
      return url_opens_;
    };
    hooks_.choose_folder = [this](HWND, const std::wstring&, const std::wstring&) {
      return folder_answer_.empty() ? std::nullopt : std::optional<std::wstring>(folder_answer_);
    };
    WindowBatchTest::SetUp();
  }
  // A right-click on a row, as the list-view reports it; -1 for the keyboard's menu key.
  void ContextMenuAt(int row) {
    POINT at{-1, -1};
    if (row >= 0) {
      at = CellCentre(row, 1);
      ClientToScreen(Control(kResultList), &at);
    }
    SendMessageW(Control(kResultList), WM_CONTEXTMENU,
                 reinterpret_cast<WPARAM>(Control(kResultList)), MAKELPARAM(at.x, at.y));
  }
  // Ctrl and a key on the list-view, as the keyboard would send them.
  void PressWithControl(WPARAM key) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    const BYTE control_before = keys[VK_CONTROL];
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(Control(kResultList), WM_KEYDOWN, key, 0);
    pump_.ProcessPendingMessages();
    keys[VK_CONTROL] = control_before;
    SetKeyboardState(keys);
  }
  int SelectedRow() {
    return static_cast<int>(
        SendMessageW(Control(kResultList), LVM_GETNEXTITEM, -1, MAKELPARAM(LVNI_SELECTED, 0)));
  }
  std::string ReadFile(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
      bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
  }

  MenuSeen seen_;
  int answer_ = 0;
  std::wstring suggested_;
  std::wstring save_as_;
  std::vector<std::wstring> opened_;
  bool url_opens_ = true;
  std::wstring folder_answer_;
};

const std::wstring kTab = L"\t";

TEST_F(WindowMenuTest, RightClickSelectsTheRowAndCopyAllPutsTheTableOnTheClipboard) {
  PutOnClipboard(L"before");
  answer_ = MenuCommandId(TableCommand::kCopyAll);
  ContextMenuAt(1);
  EXPECT_EQ(SelectedRow(), 1);
  ASSERT_EQ(seen_.shown, 1);
  std::vector<std::wstring> items;
  for (const MenuItem& item : TableMenu()) {
    std::string text = item.command == TableCommand::kNone ? "-" : item.text;
    if (item.shortcut != nullptr) text.append("\t").append(item.shortcut);
    items.push_back(Utf8ToWide(text));
  }
  EXPECT_EQ(seen_.items, items);
  // The separators, 恢复导入顺序 while the rows are in the import's order,
  // 导出核查后的文档… and 导出核查并替换后的文档… for rows from a list, and 重新查询全部 while
  // the batch's progress has not yet been told its end (the window's timer has not run).
  EXPECT_EQ(std::count(seen_.enabled.begin(), seen_.enabled.end(), false), 8);
  EXPECT_FALSE(seen_.enabled.back());
  std::wstring header;
  for (const ColumnSpec* shown : ShownColumns()) {
    header += (header.empty() ? L"" : kTab) + W(shown->header);
  }
  const std::wstring copied = ClipboardUnicode();
  EXPECT_EQ(copied.rfind(header + L"\r\n", 0), 0u) << WideToUtf8(copied);
  EXPECT_NE(copied.find(L"\r\n2\tGB/T50103-2010\t" + W("现行") + L"\tGB/T 50103-2010\t" +
                        W("总图制图标准") + L"\r\n"),
            std::wstring::npos)
      << WideToUtf8(copied);
  EXPECT_EQ(std::count(copied.begin(), copied.end(), L'\n'), 4);
}

TEST_F(WindowMenuTest, CtrlCCopiesTheSelectedRowAndTheMenuKeyWithoutARowOffersNoRowCopy) {
  ContextMenuAt(-1);  // nothing selected yet
  ASSERT_EQ(seen_.shown, 1);
  EXPECT_FALSE(seen_.enabled[0]);

  ContextMenuAt(0);
  PressWithControl('C');
  EXPECT_EQ(ClipboardUnicode(), L"1\tGB/T50001-2010\t" + W("有新标准") + L"\tGB/T 50001-2017\t" +
                                    W("房屋建筑制图统一标准"));
}

TEST_F(WindowMenuTest, ClipboardTextPastedWithCtrlVGivesItsCitations) {
  PutOnClipboard(W("依据《建筑设计防火规范》GB 50016-2014、ＧＢ　50017-2017\r\n"));
  confirm_answer_ = false;
  PressWithControl('V');
  EXPECT_EQ(questions_, std::vector<std::wstring>{Utf8ToWide(ReplaceResultsText(3))});
  ASSERT_EQ(ListRows(), 3);
  confirm_answer_ = true;
  PressWithControl('V');
  ASSERT_EQ(ListRows(), 2);
  EXPECT_EQ(ListText(0, 1), L"GB 50016-2014");
  EXPECT_EQ(ListText(1, 1), W("ＧＢ　50017-2017"));
}

TEST_F(WindowMenuTest, ExportWritesTheCsvBesideTheImportedFileOrSaysWhyItCouldNot) {
  answer_ = MenuCommandId(TableCommand::kExportCsv);
  save_as_ = Utf8ToWide(files_.File("")) + W("导出.csv");
  ContextMenuAt(0);
  EXPECT_EQ(suggested_, Utf8ToWide(files_.File("")) + W("结果.csv"));
  const std::string csv = ReadFile(save_as_);
  EXPECT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u);
  EXPECT_NE(csv.find("\r\n1,GB/T50001-2010,有新标准,GB/T 50001-2017,房屋建筑制图统一标准\r\n"),
            std::string::npos)
      << csv;
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(notices_, std::vector<std::wstring>{Utf8ToWide(SavedText(WideToUtf8(save_as_)))});

  // The workbook, written with the same file calls.
  answer_ = MenuCommandId(TableCommand::kExportXlsx);
  save_as_ = Utf8ToWide(files_.File("")) + W("导出.xlsx");
  ContextMenuAt(0);
  EXPECT_EQ(suggested_, Utf8ToWide(files_.File("")) + W("结果.xlsx"));
  EXPECT_EQ(ReadFile(save_as_).rfind("PK\x03\x04", 0), 0u);

  answer_ = MenuCommandId(TableCommand::kExportCsv);
  save_as_ = Utf8ToWide(files_.File("")) + W("没有的目录\\结果.csv");
  ContextMenuAt(0);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], W("无法写入文件：") + save_as_);
}

TEST_F(WindowMenuTest, TheSearchPageItemOpensTheRowsAddressOrSaysItCouldNot) {
  answer_ = MenuCommandId(TableCommand::kOpenSearchPage);
  ContextMenuAt(1);
  const std::optional<TableRow> row = window_->table().ShownRow(1);
  ASSERT_TRUE(row.has_value());
  const std::string address = RowSearchAddress(window_->logic().site(), *row);
  EXPECT_EQ(opened_, std::vector<std::wstring>{Utf8ToWide(address)});
  url_opens_ = false;
  ContextMenuAt(1);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], Utf8ToWide(OpenPageErrorText(address)));
}

TEST_F(WindowMenuTest, TheSiteItemShowsTheAddressInUseAndKeepsANewOne) {
  const std::string file = files_.File("settings.ini");
  window_->logic().SetSettingsFile(file);
  const std::string before = window_->logic().site().prefix;
  answer_ = MenuCommandId(TableCommand::kSiteAddress);
  text_answer_ = L"http://std.example:8080";
  ContextMenuAt(0);
  EXPECT_EQ(text_initial_, std::vector<std::wstring>{Utf8ToWide(before)});
  EXPECT_EQ(window_->logic().site().prefix, "http://std.example:8080");
  EXPECT_EQ(SettingsSiteAddress(file), "http://std.example:8080");
  EXPECT_EQ(notices_.size(), 1u);
}

void DropOn(HWND target, const std::wstring& path) {
  const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
  HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
  files->pFiles = sizeof(DROPFILES);
  files->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.c_str(),
         path.size() * sizeof(wchar_t));
  GlobalUnlock(drop);
  SendMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
}

TEST_F(WindowMenuTest, AFileOrAFolderDroppedOnTheTableOrTheFolderItemIsImported) {
  const std::wstring path = Utf8ToWide(files_.Write("dropped.txt", "GB 1-2010\nGB 2-2010\n"));
  DropOn(Control(kResultList), path);
  // As 导入 does, the file's rows replace the table's.
  ASSERT_EQ(ListRows(), 2);
  EXPECT_EQ(ListText(1, 1), L"GB 2-2010");
  EXPECT_EQ(window_->logic().last_file(), WideToUtf8(path));

  // ASCII names: the test folder's narrow paths are in the system's code page here.
  files_.Write("project/sub/note.txt", "GB 50016-2014");
  const std::wstring folder = Utf8ToWide(files_.File("project"));
  DropOn(Control(kResultList), folder);
  ASSERT_EQ(ListRows(), 1) << (errors_.empty() ? "" : WideToUtf8(errors_.back()))
                           << (notices_.empty() ? "" : WideToUtf8(notices_.back()));
  EXPECT_EQ(ListText(0, 1), L"GB 50016-2014");

  files_.Write("other/a.txt", "GB 50011-2010, GB 50009-2012");
  folder_answer_ = Utf8ToWide(files_.File("other"));
  answer_ = MenuCommandId(TableCommand::kImportFolder);
  ContextMenuAt(0);
  ASSERT_EQ(ListRows(), 2);
  EXPECT_EQ(ListText(1, 1), L"GB 50009-2012");
}

// The whole program: closing during a batch against a site that never answers in time.
MainWindow* g_program_window = nullptr;
std::wstring g_title_during_batch;
std::string g_program_site;

TEST(ProgramTest, ClosingDuringASlowBatchEndsItAndReturnsZero) {
  const std::string slow_site = SiteFromEnvironment("KELVARO_SLOW_SITE");
  if (slow_site.empty())
    GTEST_SKIP() << "KELVARO_SLOW_SITE is not set (scripts/test-windows sets it)";
  test::TempDir files;
  const std::wstring numbers = Utf8ToWide(files.Write(
      "numbers.txt", "GB/T50001-2010\nGB/T50103-2010\nGB/T50104-2010\nGB/T50105-2010\n"));
  g_program_site = slow_site;
  ProgramHooks hooks;
  hooks.window.choose_file = [&](HWND, const std::wstring&) {
    return std::optional<std::wstring>(numbers);
  };
  bool ended_cleanly = false;
  std::vector<std::string> statuses;
  hooks.on_shown = [](MainWindow& window) {
    g_program_window = &window;
    window.logic().SetSite(SiteAt(g_program_site));
    window.ShowPage(kBatchPage);
    PostMessageW(window.control(kImportButton), BM_CLICK, 0, 0);
    PostMessageW(window.control(kBatchQueryButton), BM_CLICK, 0, 0);
    // Once the batch waits for the site: look at the title, then close.
    SetTimer(nullptr, 0, 500, [](HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      g_title_during_batch = TextOf(g_program_window->hwnd());
      PostMessageW(g_program_window->hwnd(), WM_CLOSE, 0, 0);
    });
  };
  hooks.on_ended = [&](MainWindow& window) {
    ended_cleanly = window.ended_cleanly();
    for (int row = 0; row < window.table().RowCount(); ++row) {
      statuses.push_back(GbkToUtf8(window.table().GetCellText(row, 2)));
    }
  };
  EXPECT_EQ(RunProgram(hooks), 0);
  DrainQuit();
  // The workers ended within the close's grace of a second; aborted rows hold nothing.
  EXPECT_TRUE(ended_cleanly);
  EXPECT_EQ(statuses, std::vector<std::string>(4, ""));
  EXPECT_EQ(g_title_during_batch.rfind(L"0/4 \u2013 Kelvaro", 0), 0u)
      << WideToUtf8(g_title_during_batch);
}

// Run by tests/win32/installer_test.sh on the installed copy: it starts, shows its window and
// ends with exit code 0 when the window is closed.
TEST(InstalledProgramTest, StartsAndClosesWithExitCodeZero) {
  const char* installed = std::getenv("KELVARO_INSTALLED_EXE");
  if (installed == nullptr) GTEST_SKIP() << "KELVARO_INSTALLED_EXE is not set";
  std::wstring command = L"\"" + Utf8ToWide(installed) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  HWND window = nullptr;
  for (int i = 0; i < 1200 && window == nullptr; ++i) {
    window = FindWindowW(L"KelvaroMainWindow", nullptr);
    if (window == nullptr) Sleep(50);
  }
  ASSERT_NE(window, nullptr) << "no window within 60 s";
  EXPECT_EQ(TextOf(window), W(WindowTitle()));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 15000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace kelvaro::win
