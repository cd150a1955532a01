// The real window under Wine (or Windows), created in this process and driven by messages.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstdlib>
#include <map>
#include <string>

#include "query/current_standard.h"
#include "support/open_handles.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "win/layout.h"
#include "win/main_window.h"
#include "win/program.h"
#include "win/win_text.h"

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
    SetSitePrefixOverride("");
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
// gtest prints a parameter with this, in the test's name too.
void PrintTo(const ControlSpec& spec, std::ostream* out) { *out << RoleOf(spec.id); }
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
  const char* headers[] = {"序号", "待查标准编号", "是否现行", "最新标准编号", "最新标准名称"};
  const int widths[] = {40, 200, 80, 200, 400};
  for (int column = 0; column < 5; ++column) {
    wchar_t text[64] = {};
    LVCOLUMNW spec{};
    spec.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    spec.pszText = text;
    spec.cchTextMax = std::size(text);
    ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&spec)));
    EXPECT_EQ(std::wstring(text), W(headers[column]));
    EXPECT_EQ(spec.cx, widths[column]);
    EXPECT_EQ(spec.fmt & LVCFMT_JUSTIFYMASK, column == 0 ? LVCFMT_LEFT : LVCFMT_CENTER);
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
      if (const ControlSpec* spec = FindControl(static_cast<ControlId>(GetDlgCtrlID(child)));
          spec != nullptr && Control(spec->id) == child) {
        stacked.push_back(spec->name);
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
}

TEST(ImportDirectoryTest, AProgramDirectoryNobodyCanWriteToGivesTheUsersFolder) {
  wchar_t profile[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH), 0u);
  EXPECT_EQ(FirstImportDirectory(L"C:\\no such folder\\程序"), profile);
}

TEST_F(WindowTest, AFileThatCannotBeReadKeepsTheRowsAndSaysWhy) {
  Import("GB/T50001-2010\n");
  chosen_ = Utf8ToWide(files_.File("")) + W("没有这个文件.txt");
  Click(kImportButton);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0].rfind(W("无法读取文件："), 0), 0u) << WideToUtf8(errors_[0]);
  EXPECT_EQ(ListRows(), 1);
  EXPECT_EQ(ListText(0, 1), L"GB/T50001-2010");
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
    SetSitePrefixOverride(site_);
    SelectPage(kBatchPage);
    Import("GB/T50001-2010\nGB/T50103-2010\nGB/T99999-2010\n");
    SendMessageW(Control(kSpeedBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"2"));
    Click(kBatchQueryButton);
    ASSERT_TRUE(window_->session()->WaitForWorkers());
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
  EXPECT_NE(window_->table().ReasonText(2).find(L"not-found"), std::wstring::npos);
  EXPECT_EQ(window_->table().ReasonText(1), W("现行") + L" (found)");
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

TEST_F(WindowBatchTest, RemovalButtonsTakeRowsByStatus) {
  Click(kRemoveCurrentButton);
  ASSERT_EQ(ListRows(), 2);
  EXPECT_EQ(ListText(1, 0), L"3");
  Click(kRemoveSuperseded);
  ASSERT_EQ(ListRows(), 1);
  EXPECT_EQ(ListText(0, 1), L"GB/T99999-2010");
}

struct CopyCase {
  const char* name;
  int row;
  int column;
  const char* text;  // UTF-8
};
void PrintTo(const CopyCase& copy, std::ostream* out) { *out << copy.name; }

class WindowCopyTest : public WindowBatchTest, public ::testing::WithParamInterface<CopyCase> {
 protected:
  static void PutOnClipboard(const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
  }
  static std::wstring ClipboardUnicode() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"(clipboard busy)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      text = static_cast<const wchar_t*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
  }
  static LCID ClipboardLocale() {
    LCID locale = 0;
    if (!OpenClipboard(nullptr)) return 0;
    if (HANDLE data = GetClipboardData(CF_LOCALE)) {
      locale = *static_cast<const LCID*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
    return locale;
  }
  static std::string ClipboardAnsi() {
    std::string text;
    if (!OpenClipboard(nullptr)) return "(clipboard busy)";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
      text = static_cast<const char*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
  }
};

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
                         [](const ::testing::TestParamInfo<CopyCase>& info) {
                           return info.param.name;
                         });

TEST_F(WindowBatchTest, ADoubleClickBelowTheRowsLeavesTheClipboard) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(L"kept"));
  memcpy(GlobalLock(block), L"kept", sizeof(L"kept"));
  GlobalUnlock(block);
  SetClipboardData(CF_UNICODETEXT, block);
  CloseClipboard();
  const POINT last = CellCentre(2, 1);
  DoubleClickAt(POINT{last.x, last.y + 200});
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_STREQ(static_cast<const wchar_t*>(GlobalLock(data)), L"kept");
  GlobalUnlock(data);
  CloseClipboard();
}

// The whole program: closing during a batch against a site that never answers in time.
MainWindow* g_program_window = nullptr;
std::wstring g_title_during_batch;

TEST(ProgramTest, ClosingDuringASlowBatchEndsItAndReturnsZero) {
  const std::string slow_site = SiteFromEnvironment("KELVARO_SLOW_SITE");
  if (slow_site.empty())
    GTEST_SKIP() << "KELVARO_SLOW_SITE is not set (scripts/test-windows sets it)";
  test::TempDir files;
  const std::wstring numbers = Utf8ToWide(files.Write(
      "numbers.txt", "GB/T50001-2010\nGB/T50103-2010\nGB/T50104-2010\nGB/T50105-2010\n"));
  SetSitePrefixOverride(slow_site);
  ProgramHooks hooks;
  hooks.window.choose_file = [&](HWND, const std::wstring&) {
    return std::optional<std::wstring>(numbers);
  };
  bool ended_cleanly = false;
  std::vector<std::string> statuses;
  hooks.on_shown = [](MainWindow& window) {
    g_program_window = &window;
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
  SetSitePrefixOverride("");
  // The workers ended within the close's grace of a second; aborted rows hold nothing.
  EXPECT_TRUE(ended_cleanly);
  EXPECT_EQ(statuses, std::vector<std::string>(4, ""));
  EXPECT_EQ(g_title_during_batch.rfind(L"0/4 \u2013 Kelvaro", 0), 0u)
      << WideToUtf8(g_title_during_batch);
}

// Run by tests/win/installer_test.sh on the installed copy: it starts, shows its window and
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
