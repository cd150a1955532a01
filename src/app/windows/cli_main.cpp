// kelvaro-cli.exe: the arguments come as UTF-16 from the system and go on as UTF-8, so a
// file name in Chinese survives whatever the machine's ANSI code page is.
#include <windows.h>

#include <string>
#include <vector>

#include "cli/cli.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> utf8(static_cast<std::size_t>(argc));
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    const int len = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    if (len > 0) {
      utf8[i].resize(static_cast<std::size_t>(len));
      WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, utf8[i].data(), len, nullptr, nullptr);
      utf8[i].resize(static_cast<std::size_t>(len - 1));
    }
    args.push_back(utf8[i].data());
  }
  args.push_back(nullptr);
  return kelvaro::cli::RunCli(argc, args.data());
}
