#include "cli/cli.h"

#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "document/readers/read_document.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/web.h"
#include "site/standard_site.h"
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

int WriteResult(const Options& options, std::string_view data) {
  if (options.output.empty()) return WriteOutput(std::string(data));
  std::string error;
  if (platform::WriteWholeFile(options.output, data, error)) return kExitOk;
  PrintError("cannot write " + options.output + ": " + error);
  return kExitFailure;
}

bool ReadOperand(const Options& options, Bytes& bytes, std::string& error) {
  if (options.operand == "-") return platform::ReadStandardInput(bytes, error);
  return platform::ReadWholeFile(options.operand, bytes, error);
}

DocumentKind OperandKind(const Options& options) {
  return options.operand == "-" ? DocumentKind::kText : DocumentKindOf(options.operand);
}

void PrintUnreadable(const Options& options, const std::string& why) {
  PrintError("cannot read " + (options.operand == "-" ? "standard input" : options.operand) + ": " +
             why);
}

bool OutputFolderWritable(const Options& options) {
  // A device (/dev/null, NUL) is written in place: its folder (/dev) need take no file.
  if (options.output.empty() || platform::IsDevicePath(options.output)) return true;
  // The system's own separator, and '/' which every system takes.
  const char separator = platform::JoinPath("a", "b")[1];
  const std::size_t end = options.output.find_last_of(std::string("/") + separator);
  const std::string folder = end == std::string::npos ? "."
                             : end == 0               ? options.output.substr(0, 1)
                                                      : options.output.substr(0, end);
  if (platform::IsWritableDirectory(folder)) return true;
  PrintError("cannot write " + options.output + ": its folder does not exist or is not writable");
  return false;
}

bool OutputRefused(const Options& options) {
  const std::string refusal = OutputRefusal(options, platform::IsTerminal(platform::Stream::kOut));
  if (!refusal.empty()) PrintError(refusal);
  return !refusal.empty();
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
      case Options::Command::kExtract:
        return RunExtract(options);
      case Options::Command::kHistory:
        return RunHistory(options);
      case Options::Command::kCheck:
      case Options::Command::kBatch:
      case Options::Command::kMark:
      case Options::Command::kChanges:
        break;
    }
    const Site site = ResolveSite(Utf8ToGbk(options.site));
    if (options.insecure) SetIgnoreCertificateErrors(true);
    platform::InitWeb();
    if (options.command == Options::Command::kCheck) return RunCheck(options, site);
    if (options.command == Options::Command::kMark) return RunMark(options, site);
    if (options.command == Options::Command::kChanges) return RunChanges(options, site);
    return RunBatch(options, site);
  } catch (const std::bad_alloc&) {
    PrintError("out of memory");
  } catch (const std::exception& e) {
    PrintError(e.what());
  }
  return kExitFailure;
}

}  // namespace kelvaro::cli
