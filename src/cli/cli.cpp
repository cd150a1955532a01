#include "cli/cli.h"

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "platform/console.h"
#include "platform/web.h"
#include "query/current_standard.h"
#include "text/encoding.h"
#include "web/web_request.h"

#ifndef KELVARO_VERSION
#define KELVARO_VERSION "unknown"
#endif

namespace kelvaro::cli {

void PrintError(const std::string& line) {
  platform::WriteText(platform::Stream::kErr, "kelvaro-cli: " + line + "\n");
}

int WriteOutput(const std::string& utf8) {
  if (platform::WriteText(platform::Stream::kOut, utf8)) return kExitOk;
  PrintError("cannot write the output");
  return kExitFailure;
}

int RunCli(int argc, char** argv) {
  // A closed stdout would otherwise be taken by the first socket, and the output lost
  // with exit status 0.
  platform::EnsureStandardStreams();
  try {
    const ParsedArguments parsed = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
      PrintError(parsed.error);
      platform::WriteText(platform::Stream::kErr, ShortUsage());
      return kExitUsage;
    }
    const Options& options = parsed.options;
    switch (options.command) {
      case Options::Command::kHelp:
        return WriteOutput(UsageText());
      case Options::Command::kVersion:
        return WriteOutput(std::string("kelvaro-cli ") + KELVARO_VERSION + "\n");
      case Options::Command::kCheck:
      case Options::Command::kBatch:
        break;
    }
    if (!options.site.empty()) SetSitePrefixOverride(Utf8ToGbk(options.site));
    if (options.insecure) SetIgnoreCertificateErrors(true);
    platform::InitWeb();
    return options.command == Options::Command::kCheck ? RunCheck(options) : RunBatch(options);
  } catch (const std::bad_alloc&) {
    PrintError("out of memory");
  } catch (const std::exception& e) {
    PrintError(e.what());
  }
  return kExitFailure;
}

}  // namespace kelvaro::cli
