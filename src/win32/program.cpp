#include "win32/program.h"

#include <commctrl.h>
#include <ole2.h>

#include <memory>
#include <vector>

#include "platform/web.h"
#include "site/standard_site.h"
#include "store/lookup_archive.h"
#include "win32/win_text.h"
#include "window/window_texts.h"

namespace kelvaro::win {

std::wstring ProgramDirectory() {
  std::vector<wchar_t> path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  const std::wstring file(path.data(), length);
  const size_t slash = file.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : file.substr(0, slash);
}

int RunProgram(const ProgramHooks& hooks) {
  const HRESULT ole = OleInitialize(nullptr);
  const std::wstring directory = ProgramDirectory();
  if (!directory.empty()) SetCurrentDirectoryW(directory.c_str());
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  platform::InitWeb();

  int code = 0;
  {
    WinMessagePump pump;
    auto window = std::make_unique<MainWindow>(pump, directory, hooks.window);
    if (!window->Create()) {
      MessageBoxW(nullptr, Utf8ToWide(FatalErrorText(kWindowLoadFailed)).c_str(),
                  Utf8ToWide(kErrorCaption).c_str(), MB_OK | MB_ICONERROR);
      code = -1;
    } else {
      window->logic().SetSite(ResolveSite());
      window->logic().UseStore(LookupArchivePath(false));
      window->Show();
      if (hooks.on_shown) hooks.on_shown(*window);
      pump.RunMainLoop();
      window->ProgramCleanup();
      if (hooks.on_ended) hooks.on_ended(*window);
      // Workers left after the grace still use the window's table: it ends with the process.
      if (!window->ended_cleanly()) (void)window.release();
    }
  }
  if (SUCCEEDED(ole)) OleUninitialize();
  return code;
}

}  // namespace kelvaro::win
