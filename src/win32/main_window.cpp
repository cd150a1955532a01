#include "win32/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <windowsx.h>

#include <vector>

#include "win32/win_text.h"
#include "window/window_texts.h"

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

// "label (patterns)\0patterns;...\0", as the common dialogs take a filter.
std::wstring FilterEntry(const FileType& type) {
  std::wstring patterns = Utf8ToWide(type.patterns);
  std::wstring shown = Utf8ToWide(type.label) + L" (" + patterns + L")";
  for (wchar_t& c : patterns) {
    if (c == L' ') c = L';';
  }
  return shown + std::wstring(1, L'\0') + patterns + std::wstring(1, L'\0');
}

std::wstring DirectoryOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

std::optional<std::wstring> ChooseFileWithDialog(HWND owner,
                                                 const std::wstring& initial_directory) {
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = initial_directory.empty() ? nullptr : initial_directory.c_str();
  std::wstring filter;
  for (const FileType& type : ImportFileTypes()) filter += FilterEntry(type);
  filter += L'\0';
  dialog.lpstrFilter = filter.c_str();
  dialog.Flags =
      OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return std::wstring(file.data());
}

std::optional<std::wstring> ChooseFolderWithDialog(HWND owner, const std::wstring& caption,
                                                   const std::wstring& initial_directory) {
  // The window's thread may not have COM yet; it is left as it was found.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::optional<std::wstring> chosen;
  IFileOpenDialog* dialog = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&dialog)))) {
    FILEOPENDIALOGOPTIONS options = 0;
    if (SUCCEEDED(dialog->GetOptions(&options))) {
      dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    }
    dialog->SetTitle(caption.c_str());
    IShellItem* start = nullptr;
    if (!initial_directory.empty() &&
        SUCCEEDED(SHCreateItemFromParsingName(initial_directory.c_str(), nullptr,
                                              IID_PPV_ARGS(&start)))) {
      dialog->SetFolder(start);
      start->Release();
    }
    IShellItem* result = nullptr;
    if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&result))) {
      PWSTR path = nullptr;
      if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        chosen = std::wstring(path);
        CoTaskMemFree(path);
      }
      result->Release();
    }
    dialog->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

void ShowErrorBox(HWND owner, const std::wstring& caption, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

void ShowNoticeBox(HWND owner, const std::wstring& caption, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

bool ConfirmWithBox(HWND owner, const std::wstring& caption, const std::wstring& text) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(),
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

namespace {

// A dialog template in memory: the header, then each control, each on a DWORD boundary.
static_assert(sizeof(DLGTEMPLATE) == 18 && sizeof(DLGITEMTEMPLATE) == 18);
class DialogTemplate {
 public:
  DialogTemplate(const std::wstring& caption, const std::wstring& face, WORD points, short width,
                 short height, WORD controls) {
    DLGTEMPLATE header{};
    header.style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    header.cdit = controls;
    header.cx = width;
    header.cy = height;
    Put(header);
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    String(caption);
    words_.push_back(points);
    String(face);
  }
  // `kind`: the predefined class's atom (0x80 button, 0x81 edit, 0x82 static).
  void Control(WORD kind, DWORD style, short x, short y, short width, short height, WORD id,
               const std::wstring& text) {
    if (words_.size() % 2 != 0) words_.push_back(0);
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = width;
    item.cy = height;
    item.id = id;
    Put(item);
    words_.push_back(0xFFFF);
    words_.push_back(kind);
    String(text);
    words_.push_back(0);  // no creation data
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  template <typename T>
  void Put(const T& value) {
    static_assert(sizeof(T) % sizeof(WORD) == 0);
    const auto* words = reinterpret_cast<const WORD*>(&value);
    words_.insert(words_.end(), words, words + sizeof(T) / sizeof(WORD));
  }
  void String(const std::wstring& text) {
    for (const wchar_t c : text) words_.push_back(static_cast<WORD>(c));
    words_.push_back(0);
  }
  std::vector<WORD> words_;
};

constexpr WORD kTextEdit = 100;

struct TextDialogState {
  std::wstring initial;
  std::wstring result;
};

INT_PTR CALLBACK TextDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      const auto* state = reinterpret_cast<const TextDialogState*>(lparam);
      HWND edit = GetDlgItem(dialog, kTextEdit);
      SetWindowTextW(edit, state->initial.c_str());
      SendMessageW(edit, EM_SETSEL, 0, -1);
      SetFocus(edit);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        auto* state = reinterpret_cast<TextDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
        state->result = WindowText(GetDlgItem(dialog, kTextEdit));
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

std::optional<std::wstring> AskTextWithDialog(HWND owner, const std::wstring& caption,
                                              const std::wstring& prompt,
                                              const std::wstring& initial) {
  const wchar_t* face =
      FontPresent(L"Microsoft YaHei UI") ? L"Microsoft YaHei UI" : L"MS Shell Dlg";
  DialogTemplate dialog(caption, face, 9, 280, 66, 4);
  dialog.Control(0x82, SS_LEFT, 7, 7, 266, 12, static_cast<WORD>(-1), prompt);
  dialog.Control(0x81, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 22, 266, 14, kTextEdit, L"");
  dialog.Control(0x80, BS_DEFPUSHBUTTON | WS_TABSTOP, 163, 44, 50, 15, IDOK, Utf8ToWide("确定"));
  dialog.Control(0x80, BS_PUSHBUTTON | WS_TABSTOP, 223, 44, 50, 15, IDCANCEL, Utf8ToWide("取消"));
  TextDialogState state{initial, {}};
  const INT_PTR chosen = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), owner,
                                                 TextDialogProc, reinterpret_cast<LPARAM>(&state));
  if (chosen != IDOK) return std::nullopt;
  return state.result;
}

std::optional<std::wstring> ChooseSaveFileWithDialog(HWND owner,
                                                     const std::wstring& suggested_path) {
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring name = suggested_path.substr(suggested_path.find_last_of(L"\\/") + 1);
  const std::wstring folder = DirectoryOf(suggested_path);
  lstrcpynW(file.data(), name.c_str(), static_cast<int>(file.size()));
  const size_t dot = name.find_last_of(L'.');
  const std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot + 1);
  const std::wstring filter =
      FilterEntry(ExportFileType(WideToUtf8(extension).c_str())) + std::wstring(1, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  dialog.Flags =
      OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  return std::wstring(file.data());
}

bool OpenUrlInBrowser(HWND owner, const std::wstring& url) {
  // Above 32 is success.
  return reinterpret_cast<INT_PTR>(
             ShellExecuteW(owner, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

int ChooseMenuItemWithPopup(HWND owner, HMENU menu, POINT screen) {
  return static_cast<int>(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                           screen.x, screen.y, owner, nullptr));
}

int MenuCommandId(TableCommand command) { return kFirstMenuCommand + static_cast<int>(command); }

MainWindow::MainWindow(WinMessagePump& pump, std::wstring program_directory, WindowHooks hooks)
    : pump_(pump), hooks_(std::move(hooks)), program_directory_(std::move(program_directory)) {
  if (!hooks_.choose_file) hooks_.choose_file = ChooseFileWithDialog;
  if (!hooks_.show_error) hooks_.show_error = ShowErrorBox;
  if (!hooks_.choose_save_file) hooks_.choose_save_file = ChooseSaveFileWithDialog;
  if (!hooks_.choose_menu_item) hooks_.choose_menu_item = ChooseMenuItemWithPopup;
  if (!hooks_.open_url) hooks_.open_url = OpenUrlInBrowser;
  if (!hooks_.show_notice) hooks_.show_notice = ShowNoticeBox;
  if (!hooks_.confirm) hooks_.confirm = ConfirmWithBox;
  if (!hooks_.ask_text) hooks_.ask_text = AskTextWithDialog;
  if (!hooks_.choose_folder) hooks_.choose_folder = ChooseFolderWithDialog;
}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  pump_.SetPreTranslate(nullptr);
  if (font_ != nullptr) DeleteObject(font_);
  if (page_brush_ != nullptr) DeleteObject(page_brush_);
  // Workers still running use the table: it ends with the process.
  if (!ended_cleanly_) (void)table_.release();
}

HWND MainWindow::control(ControlId id) const {
  const int index = id - kTabControl;
  return index >= 0 && index < kControlCount ? controls_[index] : nullptr;
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
  if (!table_) return false;
  pump_.SetPreTranslate([this](MSG& message) { return PreTranslate(message); });
  logic_ = std::make_unique<WindowLogic>(static_cast<WindowView&>(*this), table_->table(), pump_,
                                         WideToUtf8(program_directory_));
  // Every control exists: the window's creation is complete.
  logic_->Created();
  return true;
}

HWND MainWindow::CreateTab() {
  const ControlSpec& spec = FindControl(kTabControl);
  HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP,
                             spec.left, spec.top, spec.width, spec.height, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabControl)),
                             GetModuleHandleW(nullptr), nullptr);
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
  return tab;
}

HWND MainWindow::CreateTable(const ControlSpec& spec, HWND parent, bool visible) {
  const RECT rect{spec.left, spec.top, spec.left + spec.width, spec.top + spec.height};
  table_ = std::make_unique<ListViewTable>(hwnd_, parent, spec.id, rect, font_);
  HWND created = table_->hwnd();
  if (created == nullptr) return nullptr;
  // A file dropped on the table is imported; the list-view gets the drop itself.
  DragAcceptFiles(created, TRUE);
  SetWindowSubclass(created, &MainWindow::TableProc, 2, reinterpret_cast<DWORD_PTR>(this));
  if (!visible) ShowWindow(created, SW_HIDE);
  SetWindowLongPtrW(created, GWL_STYLE, GetWindowLongPtrW(created, GWL_STYLE) | WS_CLIPSIBLINGS);
  return created;
}

HWND MainWindow::CreateControl(const ControlSpec& spec, HWND tab) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HWND parent = spec.page == kOnWindow ? hwnd_ : tab;
  const DWORD visible = spec.page == kBatchPage ? 0 : WS_VISIBLE;
  const DWORD common = WS_CHILD | WS_CLIPSIBLINGS | visible;
  const std::wstring text = Utf8ToWide(spec.text);
  HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id));
  switch (spec.kind) {
    case ControlKind::kButton:
      return CreateWindowExW(0, WC_BUTTONW, text.c_str(), common | WS_TABSTOP | BS_PUSHBUTTON,
                             spec.left, spec.top, spec.width, spec.height, parent, id, instance,
                             nullptr);
    case ControlKind::kLabel:
      return CreateWindowExW(0, WC_STATICW, text.c_str(), common | SS_LEFT | SS_NOPREFIX, spec.left,
                             spec.top, spec.width, spec.height, parent, id, instance, nullptr);
    case ControlKind::kLineEdit:
      return CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, text.c_str(),
                             common | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, spec.left, spec.top,
                             spec.width, spec.height, parent, id, instance, nullptr);
    case ControlKind::kMultiLineEdit:
      return CreateWindowExW(
          WS_EX_CLIENTEDGE, WC_EDITW, text.c_str(),
          common | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, spec.left,
          spec.top, spec.width, spec.height, parent, id, instance, nullptr);
    case ControlKind::kListView:
      return CreateTable(spec, parent, visible != 0);
    case ControlKind::kTab:
      break;
  }
  return nullptr;
}

void MainWindow::CreateControls() {
  HWND tab = CreateTab();
  controls_[0] = tab;
  for (const ControlSpec& spec : Layout()) {
    if (spec.kind == ControlKind::kTab) continue;
    HWND created = CreateControl(spec, tab);
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

bool MainWindow::PreTranslate(MSG& message) {
  if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) return false;
  if (message.message != WM_KEYDOWN) return false;
  if (message.wParam == VK_ESCAPE) {
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    return true;
  }
  if (message.wParam == VK_RETURN && message.hwnd == control(kNumberBox)) {
    logic_->NumberBoxEntered();
    return true;
  }
  if ((message.wParam == 'C' || message.wParam == 'V') && message.hwnd == list_view() &&
      GetKeyState(VK_CONTROL) < 0) {
    message.wParam == 'C' ? logic_->CopySelectedRow() : logic_->Paste();
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
      if (reinterpret_cast<NMHDR*>(lparam)->hwndFrom == window->list_view()) {
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
      // One file or folder is imported, as 导入 takes one; the first of several.
      if (const UINT length = DragQueryFileW(drop, 0, nullptr, 0); length > 0) {
        path.resize(length + 1);
        path.resize(DragQueryFileW(drop, 0, path.data(), length + 1));
      }
      DragFinish(drop);
      if (!path.empty()) window->logic_->ImportDropped(WideToUtf8(path));
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
    case ListViewTable::kSyncMessage:
      if (table_) table_->OnSyncMessage();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && logic_) logic_->Clicked(ControlId(LOWORD(wparam)));
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
      if (wparam == kProgressTimer && logic_) logic_->OnTimer();
      if (wparam == ListViewTable::kSyncTimer && table_) table_->OnSyncTimer();
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd_, kProgressTimer);
      KillTimer(hwnd_, ListViewTable::kSyncTimer);
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

LRESULT MainWindow::OnNotify(NMHDR* header) {
  if (header->hwndFrom == control(kTabControl) && header->code == TCN_SELCHANGE) {
    ShowPage(static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
    return 0;
  }
  if (table_ && header->hwndFrom == table_->hwnd()) {
    if (header->code == NM_DBLCLK) {
      const auto* activate = reinterpret_cast<NMITEMACTIVATE*>(header);
      logic_->CopyCellOnDoubleClick(activate->ptAction.x, activate->ptAction.y);
      return 0;
    }
    if (header->code == LVN_COLUMNCLICK) {
      logic_->HeaderClicked(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
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
  if (logic_) ended_cleanly_ = logic_->Closing();
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void MainWindow::ProgramCleanup() {
  if (logic_) ended_cleanly_ = logic_->ProgramCleanup() && ended_cleanly_;
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
  for (const MenuItem& item : TableMenu()) {
    if (item.command == TableCommand::kNone) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    std::string text = item.text;
    if (item.shortcut != nullptr) text.append("\t").append(item.shortcut);
    const UINT state = logic_->IsCommandEnabled(item.command) ? MF_ENABLED : MF_GRAYED;
    AppendMenuW(menu, MF_STRING | state, MenuCommandId(item.command), Utf8ToWide(text).c_str());
  }
  const int chosen = hooks_.choose_menu_item(hwnd_, menu, screen);
  DestroyMenu(menu);
  for (const MenuItem& item : TableMenu()) {
    if (item.command != TableCommand::kNone && MenuCommandId(item.command) == chosen) {
      logic_->RunTableCommand(item.command);
    }
  }
}

bool MainWindow::IsOpen() const { return hwnd_ != nullptr && !closing_; }

void MainWindow::SetTitle(const std::string& title) {
  if (hwnd_ != nullptr) SetWindowTextW(hwnd_, Utf8ToWide(title).c_str());
}

std::string MainWindow::ControlText(ControlId id) const {
  HWND hwnd = control(id);
  return hwnd == nullptr ? std::string() : WideToUtf8(WindowText(hwnd));
}

void MainWindow::SetControlText(ControlId id, const std::string& text) {
  if (HWND hwnd = control(id)) SetWindowTextW(hwnd, Utf8ToWide(text).c_str());
}

void MainWindow::AppendControlText(ControlId id, const std::string& text) {
  HWND box = control(id);
  if (box == nullptr) return;
  const int end = GetWindowTextLengthW(box);
  SendMessageW(box, EM_SETSEL, end, end);
  SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Utf8ToWide(text).c_str()));
  SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

void MainWindow::EnableControl(ControlId id, bool enabled) {
  if (HWND hwnd = control(id)) EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

void MainWindow::SetToolTip(ControlId id, const std::string& text) {
  HWND tool_window = control(id);
  if (retry_hint_ == nullptr || tool_window == nullptr) return;
  // An empty text shows no tooltip at all.
  std::wstring wide = Utf8ToWide(text);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = GetParent(tool_window);
  tool.uId = reinterpret_cast<UINT_PTR>(tool_window);
  tool.lpszText = wide.data();
  SendMessageW(retry_hint_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::ShowError(const std::string& caption, const std::string& text) {
  hooks_.show_error(hwnd_, Utf8ToWide(caption), Utf8ToWide(text));
}

void MainWindow::ShowNotice(const std::string& caption, const std::string& text) {
  hooks_.show_notice(hwnd_, Utf8ToWide(caption), Utf8ToWide(text));
}

bool MainWindow::Confirm(const std::string& caption, const std::string& text) {
  return hooks_.confirm(hwnd_, Utf8ToWide(caption), Utf8ToWide(text));
}

std::optional<std::string> MainWindow::AskText(const std::string& caption,
                                               const std::string& prompt,
                                               const std::string& initial) {
  const std::optional<std::wstring> text =
      hooks_.ask_text(hwnd_, Utf8ToWide(caption), Utf8ToWide(prompt), Utf8ToWide(initial));
  if (!text.has_value()) return std::nullopt;
  return WideToUtf8(*text);
}

std::optional<std::string> MainWindow::ChooseFileToOpen(const std::string& directory,
                                                        const std::string&) {
  const std::optional<std::wstring> chosen = hooks_.choose_file(hwnd_, Utf8ToWide(directory));
  if (!chosen.has_value()) return std::nullopt;
  return WideToUtf8(*chosen);
}

std::optional<std::string> MainWindow::AskFolder(const std::string& caption,
                                                 const std::string& directory) {
  const std::optional<std::wstring> chosen =
      hooks_.choose_folder(hwnd_, Utf8ToWide(caption), Utf8ToWide(directory));
  if (!chosen.has_value()) return std::nullopt;
  return WideToUtf8(*chosen);
}

std::optional<std::string> MainWindow::ChooseFileToSave(const std::string& suggested_path) {
  const std::optional<std::wstring> chosen =
      hooks_.choose_save_file(hwnd_, Utf8ToWide(suggested_path));
  if (!chosen.has_value()) return std::nullopt;
  return WideToUtf8(*chosen);
}

void MainWindow::PutOnClipboard(const std::string& utf8) {
  // Lines end in CR LF on the Windows clipboard.
  std::wstring text;
  for (const wchar_t c : Utf8ToWide(utf8)) {
    if (c == L'\n' && (text.empty() || text.back() != L'\r')) text += L'\r';
    text += c;
  }
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

std::string MainWindow::ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(hwnd_)) return {};
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      // The block may hold no terminating zero within its size.
      text.assign(chars, wcsnlen(chars, GlobalSize(data) / sizeof(wchar_t)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return WideToUtf8(text);
}

int MainWindow::SelectedRow() const {
  if (!table_) return -1;
  return static_cast<int>(SendMessageW(table_->hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                       MAKELPARAM(LVNI_SELECTED, 0)));
}

bool MainWindow::OpenUrl(const std::string& url) { return hooks_.open_url(hwnd_, Utf8ToWide(url)); }

void MainWindow::StartTimer(int interval_ms) {
  if (hwnd_ != nullptr) SetTimer(hwnd_, kProgressTimer, static_cast<UINT>(interval_ms), nullptr);
}

void MainWindow::StopTimer() {
  if (hwnd_ != nullptr) KillTimer(hwnd_, kProgressTimer);
}

}  // namespace kelvaro::win
