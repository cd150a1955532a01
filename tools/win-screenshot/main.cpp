// Screenshots of Kelvaro.exe's two pages for the README: imports a file of numbers, looks
// them up on the site KELVARO_SITE names, runs the single query, asks the sixth number again
// of a port where nothing listens so that it fails, then saves each page as a BMP file from
// the screen.
//   kelvaro-win-screenshot NUMBERS-FILE QUERY.bmp BATCH.bmp
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "site/standard_site.h"
#include "win32/program.h"
#include "win32/win_text.h"

namespace {

using kelvaro::win::MainWindow;

// The row of the numbers file scripts/screenshot-windows writes that is made to fail.
constexpr int kFailedRow = 5;

// Lets the window paint what it has been given.
void Settle() {
  for (int i = 0; i < 25; ++i) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(20);
  }
}

bool SaveWindow(HWND hwnd, const std::wstring& path) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD image_size = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + image_size;
  bool written = false;
  if (FILE* out = _wfopen(path.c_str(), L"wb")) {
    written = fwrite(&file, sizeof file, 1, out) == 1 &&
              fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
              fwrite(bits, 1, image_size, out) == image_size;
    written = fclose(out) == 0 && written;
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fputs("usage: kelvaro-win-screenshot NUMBERS-FILE QUERY.bmp BATCH.bmp\n", stderr);
    return 2;
  }
  const std::wstring numbers = argv[1];
  const std::wstring shots[2] = {argv[2], argv[3]};
  bool saved = true;
  kelvaro::win::ProgramHooks hooks;
  hooks.window.choose_file = [&](HWND, const std::wstring&) {
    return std::optional<std::wstring>(numbers);
  };
  hooks.on_shown = [&](MainWindow& window) {
    window.logic().Clicked(kelvaro::kImportButton);
    window.logic().Clicked(kelvaro::kBatchQueryButton);
    window.logic().session()->WaitForWorkers();
    window.logic().Clicked(kelvaro::kSingleQueryButton);
    window.logic().session()->SetSite(kelvaro::SiteAt("http://127.0.0.1:1"));
    window.logic().session()->QueryRows("1", {window.table().IdAt(kFailedRow)});
    window.logic().session()->WaitForWorkers();
    for (int page : {kelvaro::kQueryPage, kelvaro::kBatchPage}) {
      window.ShowPage(page);
      Settle();
      saved = SaveWindow(window.hwnd(), shots[page]) && saved;
    }
    PostMessageW(window.hwnd(), WM_CLOSE, 0, 0);
  };
  const int code = kelvaro::win::RunProgram(hooks);
  return code != 0 ? code : (saved ? 0 : 1);
}
