#include "win/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <vector>

#include "batch/table_export.h"
#include "query/import.h"
#include "query/number.h"
#include "query/report.h"
#include "win/win_text.h"

namespace kelvaro::win {

namespace {

constexpr wchar_t kWindowClass[] = L"KelvaroMainWindow";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

int CALLBACK NoteFontFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FontPresent(const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, NoteFontFamily, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

// The platform's dialog font: the message font, in "Microsoft YaHei UI" where present.
HFONT MakeDialogFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW font{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font = metrics.lfMessageFont;
  } else {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  }
  if (FontPresent(L"Microsoft YaHei UI"))
    lstrcpynW(font.lfFaceName, L"Microsoft YaHei UI", LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

bool RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = DefWindowProcW;  // replaced by the instance's at creation
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  window_class.hIconSm = window_class.hIcon;
  window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

std::wstring DirectoryOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

std::wstring FirstImportDirectory(const std::wstring& program_directory) {
  // A portable copy keeps its files beside it; an installed one the user cannot write to
  // starts in the user's own folder.
  if (!program_directory.empty()) {
    const std::wstring probe = program_directory + L"\\.kelvaro-write-probe";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return program_directory;
    }
  }
  std::wstring home(32768, L'\0');
  const DWORD length =
      GetEnvironmentVariableW(L"USERPROFILE", home.data(), static_cast<DWORD>(home.size()));
  home.resize(length < home.size() ? length : 0);
  return home.empty() ? program_directory : home;
}

std::optional<std::wstring> ChooseFileWithDialog(HWND owner,
                                                 const std::wstring& initial_directory) {
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = initial_directory.empty() ? nullptr : initial_directory.c_str();
  dialog.Flags =
      OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return std::wstring(file.data());
}

void ShowErrorBox(HWND owner, const std::wstring& caption, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

std::optional<std::wstring> ChooseSaveFileWithDialog(HWND owner,
                                                     const std::wstring& suggested_path) {
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring name = suggested_path.substr(suggested_path.find_last_of(L"\\/") + 1);
  const std::wstring folder = DirectoryOf(suggested_path);
  lstrcpynW(file.data(), name.c_str(), static_cast<int>(file.size()));
  static constexpr wchar_t kFilter[] = L"CSV (*.csv)\0*.csv\0\0";
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kFilter;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrDefExt = L"csv";
  dialog.Flags =
      OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  return std::wstring(file.data());
}

int ChooseMenuItemWithPopup(HWND owner, HMENU menu, POINT screen) {
  return static_cast<int>(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                           screen.x, screen.y, owner, nullptr));
}

MainWindow::MainWindow(WinMessagePump& pump, std::wstring program_directory, WindowHooks hooks)
    : pump_(pump), program_directory_(std::move(program_directory)), hooks_(std::move(hooks)) {
  if (!hooks_.choose_file) hooks_.choose_file = ChooseFileWithDialog;
  if (!hooks_.show_error) hooks_.show_error = ShowErrorBox;
  if (!hooks_.choose_save_file) hooks_.choose_save_file = ChooseSaveFileWithDialog;
  if (!hooks_.choose_menu_item) hooks_.choose_menu_item = ChooseMenuItemWithPopup;
}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  pump_.SetPreTranslate(nullptr);
  if (font_ != nullptr) DeleteObject(font_);
  if (page_brush_ != nullptr) DeleteObject(page_brush_);
}

HWND MainWindow::control(ControlId id) const {
  const int index = id - kTabControl;
  return index >= 0 && index < static_cast<int>(std::size(controls_)) ? controls_[index] : nullptr;
}

bool MainWindow::Create() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterWindowClass(instance)) return false;
  RECT outer{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&outer, kWindowStyle, FALSE, kWindowExStyle);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  const std::wstring title = Utf8ToWide(WindowTitle());
  hwnd_ =
      CreateWindowExW(kWindowExStyle, kWindowClass, title.c_str(), kWindowStyle | WS_CLIPCHILDREN,
                      left, top, width, height, nullptr, nullptr, instance, nullptr);
  if (hwnd_ == nullptr) return false;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::WindowProc));
  font_ = MakeDialogFont();
  page_brush_ = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
  CreateControls();
  pump_.SetPreTranslate([this](MSG& message) { return PreTranslate(message); });
  // Every control exists: the window's creation is complete.
  session_ = std::make_unique<BatchSession>(*table_, pump_);
  return true;
}

void MainWindow::CreateControls() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const ControlSpec* tab_spec = FindControl(kTabControl);
  HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP,
                             tab_spec->left, tab_spec->top, tab_spec->width, tab_spec->height,
                             hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabControl)),
                             instance, nullptr);
  controls_[0] = tab;
  SendMessageW(tab, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  for (int page : {kQueryPage, kBatchPage}) {
    std::wstring text = Utf8ToWide(PageTitle(page));
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageW(tab, TCM_INSERTITEMW, page, reinterpret_cast<LPARAM>(&item));
  }
  // The pages' controls report to the tab control: pass what they say on to the window.
  SetWindowSubclass(tab, &MainWindow::TabProc, 1, reinterpret_cast<DWORD_PTR>(this));

  for (const ControlSpec& spec : Layout()) {
    if (spec.kind == ControlKind::kTab) continue;
    HWND parent = spec.page == kOnWindow ? hwnd_ : tab;
    const DWORD visible = spec.page == kBatchPage ? 0 : WS_VISIBLE;
    const DWORD common = WS_CHILD | WS_CLIPSIBLINGS | visible;
    const std::wstring text = Utf8ToWide(spec.text);
    HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id));
    HWND created = nullptr;
    switch (spec.kind) {
      case ControlKind::kButton:
        created = CreateWindowExW(0, WC_BUTTONW, text.c_str(), common | WS_TABSTOP | BS_PUSHBUTTON,
                                  spec.left, spec.top, spec.width, spec.height, parent, id,
                                  instance, nullptr);
        break;
      case ControlKind::kLabel:
        created =
            CreateWindowExW(0, WC_STATICW, text.c_str(), common | SS_LEFT | SS_NOPREFIX, spec.left,
                            spec.top, spec.width, spec.height, parent, id, instance, nullptr);
        break;
      case ControlKind::kLineEdit:
        created = CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, text.c_str(),
                                  common | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, spec.left,
                                  spec.top, spec.width, spec.height, parent, id, instance, nullptr);
        break;
      case ControlKind::kMultiLineEdit:
        created = CreateWindowExW(
            WS_EX_CLIENTEDGE, WC_EDITW, text.c_str(),
            common | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
            spec.left, spec.top, spec.width, spec.height, parent, id, instance, nullptr);
        break;
      case ControlKind::kListView: {
        const RECT rect{spec.left, spec.top, spec.left + spec.width, spec.top + spec.height};
        table_ = std::make_unique<ListViewTable>(hwnd_, parent, spec.id, rect, font_);
        created = table_->hwnd();
        if (created != nullptr) {
          // A file dropped on the table is imported; the list-view gets the drop itself.
          DragAcceptFiles(created, TRUE);
          SetWindowSubclass(created, &MainWindow::TableProc, 2, reinterpret_cast<DWORD_PTR>(this));
        }
        if (created != nullptr && !visible) ShowWindow(created, SW_HIDE);
        SetWindowLongPtrW(created, GWL_STYLE,
                          GetWindowLongPtrW(created, GWL_STYLE) | WS_CLIPSIBLINGS);
        break;
      }
      case ControlKind::kTab:
        break;
    }
    controls_[spec.id - kTabControl] = created;
    if (created == nullptr) continue;
    SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    // No length limit on the edit boxes.
    if (spec.kind == ControlKind::kLineEdit || spec.kind == ControlKind::kMultiLineEdit) {
      SendMessageW(created, EM_SETLIMITTEXT, 0, 0);
    }
  }
  SetStackingOrder();
  CreateRetryHint();
}

void MainWindow::CreateRetryHint() {
  HWND button = control(kBatchQueryButton);
  if (button == nullptr) return;
  retry_hint_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (retry_hint_ == nullptr) return;
  SendMessageW(retry_hint_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SendMessageW(retry_hint_, TTM_SETMAXTIPWIDTH, 0, 400);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(button);
  tool.uId = reinterpret_cast<UINT_PTR>(button);
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(retry_hint_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::UpdateRetryHint() {
  HWND button = control(kBatchQueryButton);
  if (retry_hint_ == nullptr || button == nullptr || !table_) return;
  // An empty text shows no tooltip at all.
  std::wstring text = Utf8ToWide(RetryHint(static_cast<int>(SiteFailedRows(*table_).size())));
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = GetParent(button);
  tool.uId = reinterpret_cast<UINT_PTR>(button);
  tool.lpszText = text.data();
  SendMessageW(retry_hint_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::SetStackingOrder() {
  // Per parent, each control goes just below the one before it in the layout.
  HWND previous_on_window = HWND_TOP;
  HWND previous_on_tab = HWND_TOP;
  for (const ControlSpec& spec : Layout()) {
    HWND hwnd = control(spec.id);
    if (hwnd == nullptr) continue;
    HWND& previous = GetParent(hwnd) == hwnd_ ? previous_on_window : previous_on_tab;
    SetWindowPos(hwnd, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = hwnd;
  }
}

void MainWindow::Show() {
  ShowPage(kQueryPage);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
}

void MainWindow::ShowPage(int page) {
  page_ = page;
  if (HWND tab = control(kTabControl);
      tab != nullptr && SendMessageW(tab, TCM_GETCURSEL, 0, 0) != page) {
    SendMessageW(tab, TCM_SETCURSEL, page, 0);
  }
  for (const ControlSpec& spec : Layout()) {
    if (spec.page == kOnWindow) continue;
    if (HWND hwnd = control(spec.id)) ShowWindow(hwnd, spec.page == page ? SW_SHOW : SW_HIDE);
  }
}

std::wstring MainWindow::ControlText(ControlId id) const { return WindowText(control(id)); }

bool MainWindow::PreTranslate(MSG& message) {
  if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) return false;
  if (message.message != WM_KEYDOWN) return false;
  if (message.wParam == VK_ESCAPE) {
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    return true;
  }
  if (message.wParam == VK_RETURN && message.hwnd == control(kNumberBox)) {
    if (IsWindowEnabled(control(kSingleQueryButton))) ShowSingleQueryReport();
    return true;
  }
  if (message.wParam == 'C' && table_ && message.hwnd == table_->hwnd() &&
      GetKeyState(VK_CONTROL) < 0) {
    CopySelectedRow();
    return true;
  }
  return false;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->Handle(message, wparam, lparam);
}

LRESULT CALLBACK MainWindow::TabProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR, DWORD_PTR self) {
  auto* window = reinterpret_cast<MainWindow*>(self);
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
      return SendMessageW(window->hwnd_, message, wparam, lparam);
    case WM_NOTIFY:
      if (window->table_ && reinterpret_cast<NMHDR*>(lparam)->hwndFrom == window->table_->hwnd()) {
        return SendMessageW(window->hwnd_, message, wparam, lparam);
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &MainWindow::TabProc, 1);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK MainWindow::TableProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR, DWORD_PTR self) {
  auto* window = reinterpret_cast<MainWindow*>(self);
  switch (message) {
    case WM_DROPFILES: {
      auto* drop = reinterpret_cast<HDROP>(wparam);
      std::wstring path;
      // One file is imported, as 导入 takes one; the first of several.
      if (const UINT length = DragQueryFileW(drop, 0, nullptr, 0); length > 0) {
        path.resize(length + 1);
        path.resize(DragQueryFileW(drop, 0, path.data(), length + 1));
      }
      DragFinish(drop);
      if (!path.empty()) window->ImportFile(path);
      return 0;
    }
    case WM_CONTEXTMENU:
      window->ShowTableMenu(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &MainWindow::TableProc, 2);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case ListViewTable::kRunTaskMessage:
      return ListViewTable::RunTask(lparam);
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lparam));
    case WM_CTLCOLORSTATIC: {
      // Labels lie on the tab control's white body.
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(page_brush_);
    }
    case WM_TIMER:
      if (wparam == kProgressTimer) UpdateProgressTitle();
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd_, kProgressTimer);
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY: {
      HWND gone = hwnd_;
      hwnd_ = nullptr;
      for (HWND& hwnd : controls_) hwnd = nullptr;
      SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
      return DefWindowProcW(gone, message, wparam, lparam);
    }
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void MainWindow::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kSingleQueryButton:
      ShowSingleQueryReport();
      break;
    case kImportButton:
      ImportNumbers();
      break;
    case kBatchQueryButton:
      StartBatchQuery();
      break;
    case kRemoveCurrentButton:
      RemoveRowsWithStatus(kStatusCurrent);
      break;
    case kRemoveSuperseded:
      RemoveRowsWithStatus(kStatusSuperseded);
      break;
    default:
      break;
  }
}

LRESULT MainWindow::OnNotify(NMHDR* header) {
  if (header->hwndFrom == control(kTabControl) && header->code == TCN_SELCHANGE) {
    ShowPage(static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
    return 0;
  }
  if (table_ && header->hwndFrom == table_->hwnd()) {
    if (header->code == NM_DBLCLK) {
      const auto* activate = reinterpret_cast<NMITEMACTIVATE*>(header);
      CopyCellOnDoubleClick(activate->ptAction.x, activate->ptAction.y);
      return 0;
    }
    LRESULT result = 0;
    if (table_->OnNotify(header, &result)) return result;
  }
  return 0;
}

void MainWindow::Close() {
  if (closing_) return;
  closing_ = true;
  // A batch in progress ends first: no row starts, requests in flight are aborted.
  if (session_) ended_cleanly_ = session_->EndAll(kCloseGrace);
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void MainWindow::ProgramCleanup() {
  if (!session_) return;
  ended_cleanly_ = session_->EndAll(kCloseGrace) && ended_cleanly_;
  if (!ended_cleanly_) {
    // Workers still running hold the session and the table: they end with the process.
    (void)session_.release();
    (void)table_.release();
    return;
  }
  session_->runner().Destroy();
  session_.reset();
}

void MainWindow::ShowSingleQueryReport() {
  if (!session_ || hwnd_ == nullptr) return;
  HWND report = control(kReportBox);
  HWND button = control(kSingleQueryButton);
  SetWindowTextW(report, L"\r\n");
  const Text number = WideToGbk(ControlText(kNumberBox));
  // The request runs off this thread while the pump dispatches: the window keeps painting.
  EnableWindow(button, FALSE);
  const std::optional<SingleQueryResult> ran = session_->RunSingleQuery(number);
  if (!IsWindow(button) || hwnd_ == nullptr) return;  // closed meanwhile
  EnableWindow(button, TRUE);
  if (!ran.has_value()) return;
  for (const Text& entry : ReportEntries(ran->lookup.record, ran->lookup.address, ran->cleaned)) {
    const int end = GetWindowTextLengthW(report);
    SendMessageW(report, EM_SETSEL, end, end);
    SendMessageW(report, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(GbkToWide(entry).c_str()));
    SendMessageW(report, EM_SCROLLCARET, 0, 0);
  }
}

void MainWindow::ImportNumbers() {
  if (hwnd_ == nullptr) return;
  const std::wstring start =
      last_file_.empty() ? FirstImportDirectory(program_directory_) : DirectoryOf(last_file_);
  const std::optional<std::wstring> chosen = hooks_.choose_file(hwnd_, start);
  if (!chosen.has_value()) return;  // cancelled: the table stays as it was
  ImportFile(*chosen);
}

void MainWindow::ImportFile(const std::wstring& path) {
  if (hwnd_ == nullptr || !table_) return;
  last_file_ = path;
  std::string reason;
  // A file that cannot be read leaves the rows as they were, and the user learns why.
  if (!ImportNumbersFromFile(*table_, WideToUtf8(path), &reason)) {
    hooks_.show_error(hwnd_, L"错误", L"无法读取文件：" + path + L"\n" + Utf8ToWide(reason));
  }
  UpdateRetryHint();
}

void MainWindow::StartBatchQuery() {
  if (!session_ || hwnd_ == nullptr) return;
  const Text speed = WideToGbk(ControlText(kSpeedBox));
  RunBatchWithProgress(table_->RowCount(), [&] { session_->StartBatchQuery(speed); });
}

void MainWindow::RequeryFailedRows() {
  if (!session_ || hwnd_ == nullptr) return;
  std::vector<RowId> failed = FailedRows(*table_);
  if (failed.empty()) return;
  const Text speed = WideToGbk(ControlText(kSpeedBox));
  RunBatchWithProgress(static_cast<int>(failed.size()),
                       [&] { session_->QueryRows(speed, std::move(failed)); });
}

void MainWindow::RunBatchWithProgress(int rows, const std::function<void()>& run) {
  progress_total_ = rows;
  progress_base_ = session_->FinishedRows();
  SetTimer(hwnd_, kProgressTimer, 200, nullptr);
  ++batches_starting_;
  UpdateProgressTitle();
  run();
  --batches_starting_;
  // The last workers may still run: the timer puts the title back once they are done.
  UpdateProgressTitle();
}

void MainWindow::UpdateProgressTitle() {
  if (hwnd_ == nullptr || !session_) return;
  const std::wstring title = Utf8ToWide(WindowTitle());
  if (batches_starting_ == 0 && !session_->IsRunning()) {
    KillTimer(hwnd_, kProgressTimer);
    SetWindowTextW(hwnd_, title.c_str());
    UpdateRetryHint();
    return;
  }
  const int done = session_->FinishedRows() - progress_base_;
  const std::wstring shown =
      std::to_wstring(done) + L"/" + std::to_wstring(progress_total_) + L" \u2013 " + title;
  SetWindowTextW(hwnd_, shown.c_str());
}

void MainWindow::RemoveRowsWithStatus(const Text& word) {
  if (session_) session_->RemoveRowsWithStatus(word);
}

void MainWindow::CopyCellOnDoubleClick(int x, int y) {
  const CellHit hit = table_->HitTestCell(x, y);
  // A miss copies nothing: emptying the clipboard would destroy what the user had copied.
  if (hit.row < 0 || hit.column < 0) return;
  PutOnClipboard(GbkToWide(table_->GetCellText(hit.row, hit.column)));
}

void MainWindow::PutOnClipboard(const std::wstring& text) {
  if (!OpenClipboard(hwnd_)) return;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes)) {
    if (void* data = GlobalLock(block)) {
      memcpy(data, text.c_str(), bytes);
      GlobalUnlock(block);
      if (SetClipboardData(CF_UNICODETEXT, block) == nullptr) GlobalFree(block);
    } else {
      GlobalFree(block);
    }
  }
  // The text others read as CF_TEXT is GBK whatever the user's locale.
  if (HGLOBAL locale = GlobalAlloc(GMEM_MOVEABLE, sizeof(LCID))) {
    if (auto* id = static_cast<LCID*>(GlobalLock(locale))) {
      *id = MAKELCID(0x0804, SORT_DEFAULT);
      GlobalUnlock(locale);
      if (SetClipboardData(CF_LOCALE, locale) == nullptr) GlobalFree(locale);
    } else {
      GlobalFree(locale);
    }
  }
  CloseClipboard();
}

int MainWindow::SelectedRow() const {
  if (!table_) return -1;
  return static_cast<int>(SendMessageW(table_->hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                       MAKELPARAM(LVNI_SELECTED, 0)));
}

void MainWindow::ShowTableMenu(POINT screen) {
  if (hwnd_ == nullptr || !table_) return;
  HWND list = table_->hwnd();
  if (screen.x == -1 && screen.y == -1) {
    // From the keyboard: at the selected row, else at the table's corner.
    RECT row{LVIR_BOUNDS, 0, 0, 0};
    const int selected = SelectedRow();
    POINT at{0, 0};
    if (selected >= 0 &&
        SendMessageW(list, LVM_GETITEMRECT, selected, reinterpret_cast<LPARAM>(&row))) {
      at = POINT{row.left, row.bottom};
    }
    ClientToScreen(list, &at);
    screen = at;
  } else {
    // The menu's row is the one under the pointer.
    LVHITTESTINFO hit{};
    hit.pt = screen;
    ScreenToClient(list, &hit.pt);
    const int row =
        static_cast<int>(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row >= 0) {
      LVITEMW state{};
      state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      state.state = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    }
  }
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  const UINT copy_row = SelectedRow() >= 0 ? MF_ENABLED : MF_GRAYED;
  AppendMenuW(menu, MF_STRING | copy_row, kCopyRowCommand, Utf8ToWide("复制本行\tCtrl+C").c_str());
  AppendMenuW(menu, MF_STRING, kCopyAllCommand, Utf8ToWide("复制全部").c_str());
  AppendMenuW(menu, MF_STRING, kExportCsvCommand, Utf8ToWide("导出 CSV…").c_str());
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kRequeryCommand, Utf8ToWide("重新查询未知").c_str());
  const int command = hooks_.choose_menu_item(hwnd_, menu, screen);
  DestroyMenu(menu);
  RunTableCommand(command);
}

void MainWindow::RunTableCommand(int command) {
  switch (command) {
    case kCopyRowCommand:
      CopySelectedRow();
      break;
    case kCopyAllCommand:
      CopyAllRows();
      break;
    case kExportCsvCommand:
      ExportCsv();
      break;
    case kRequeryCommand:
      RequeryFailedRows();
      break;
    default:
      break;
  }
}

void MainWindow::CopySelectedRow() {
  const int row = SelectedRow();
  if (row < 0) return;  // nothing chosen: the clipboard keeps what it had
  const std::vector<RowStore::Row> rows = table_->Snapshot();
  if (row >= static_cast<int>(rows.size())) return;
  PutOnClipboard(Utf8ToWide(PlainTextRow(rows[static_cast<size_t>(row)])));
}

void MainWindow::CopyAllRows() {
  if (!table_) return;
  PutOnClipboard(Utf8ToWide(PlainTextTable(table_->Snapshot(), "\r\n")));
}

void MainWindow::ExportCsv() {
  if (hwnd_ == nullptr || !table_) return;
  const std::wstring folder =
      last_file_.empty() ? FirstImportDirectory(program_directory_) : DirectoryOf(last_file_);
  const std::optional<std::wstring> chosen =
      hooks_.choose_save_file(hwnd_, folder + L"\\" + Utf8ToWide("结果.csv"));
  if (!chosen.has_value()) return;
  const std::string csv = FormatCsv(table_->Snapshot());
  HANDLE file = CreateFileW(chosen->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = false;
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ok = WriteFile(file, csv.data(), static_cast<DWORD>(csv.size()), &written, nullptr) &&
         written == csv.size();
    ok = CloseHandle(file) && ok;
    // A half-written file is worse than none: the user would take it for the results.
    if (!ok) DeleteFileW(chosen->c_str());
  }
  if (!ok) hooks_.show_error(hwnd_, L"错误", L"无法写入文件：" + *chosen);
}

}  // namespace kelvaro::win
