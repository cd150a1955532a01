#include "cli/cli.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

#include "batch/batch_session.h"
#include "batch/message_pump.h"
#include "batch/row_store.h"
#include "cli/table_output.h"
#include "platform/platform.h"
#include "query/current_standard.h"
#include "query/import.h"
#include "query/number.h"
#include "query/single_query.h"
#include "text/encoding.h"

#ifndef KELVARO_VERSION
#define KELVARO_VERSION "unknown"
#endif

namespace kelvaro::cli {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kProgram = "kelvaro-cli";
// Once interrupted, workers still running after this are left behind: the rows are
// printed and the process ends regardless.
constexpr auto kInterruptGrace = 700ms;

bool WriteAll(std::FILE* stream, const std::string& text) {
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream) != text.size()) {
    return false;
  }
  return std::fflush(stream) == 0;
}

void PrintError(const std::string& line) {
  WriteAll(stderr, std::string(kProgram) + ": " + line + "\n");
}

int UsageError(const std::string& reason) {
  PrintError(reason);
  WriteAll(stderr,
           "usage: kelvaro-cli check [--site URL] [--json] NUMBER\n"
           "       kelvaro-cli batch [--site URL] [--speed N] [--format tsv|csv|json]\n"
           "                         [--remove-current] [--remove-superseded] FILE\n"
           "Try 'kelvaro-cli --help' for more.\n");
  return kExitUsage;
}

// Takes the value of an option given as "--name VALUE" or "--name=VALUE".
bool OptionValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                 std::string& value, bool& matched, std::string& error) {
  const std::string& arg = args[i];
  matched = false;
  if (arg == name) {
    matched = true;
    if (i + 1 >= args.size()) {
      error = "option " + name + " needs a value";
      return false;
    }
    value = args[++i];
    return true;
  }
  if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
      arg[name.size()] == '=') {
    matched = true;
    value = arg.substr(name.size() + 1);
  }
  return true;
}

std::string FormatTable(const std::string& format, const Rows& rows) {
  if (format == "csv") return FormatCsv(rows);
  if (format == "json") return FormatJson(rows);
  return FormatTsv(rows);
}

// One updating line on a terminal's stderr: "done/total rows, N rows/s".
class ProgressLine {
 public:
  ProgressLine(const BatchSession& session, int total)
      : session_(session), total_(total), start_(Clock::now()) {
    thread_ = std::thread([this] { Run(); });
  }
  ~ProgressLine() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
    Print();
    WriteAll(stderr, "\n");
  }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      lock.unlock();
      Print();
      lock.lock();
      changed_.wait_for(lock, 250ms, [this] { return stop_; });
    }
  }
  void Print() {
    const int done = session_.FinishedRows();
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    const double rate = seconds > 0 ? done / seconds : 0.0;
    char line[96];
    std::snprintf(line, sizeof line, "\r%d/%d rows, %.1f rows/s\x1b[K", done, total_, rate);
    WriteAll(stderr, line);
  }

  const BatchSession& session_;
  const int total_;
  const Clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::thread thread_;
};

int RunCheck(const Options& options) {
  const Text box = Utf8ToGbk(options.operand);
  const SingleQueryResult result = RunSingleQuery(box);
  std::string out;
  if (options.json) {
    const CurrentStandardRecord& record = result.lookup.record;
    const bool found = result.requested && record.status == kStatusCurrent;
    CheckFields fields;
    fields.input = SanitizeUtf8(options.operand);
    fields.cleaned = GbkToUtf8(result.cleaned);
    fields.keyword = GbkToUtf8(result.keyword);
    fields.address = GbkToUtf8(result.lookup.address);
    fields.status =
        GbkToUtf8(found ? ClassifyStatus(record.number, result.cleaned) : kStatusUnknown);
    fields.number = GbkToUtf8(record.number);
    fields.title = GbkToUtf8(record.title);
    fields.release_date = GbkToUtf8(record.release_date);
    fields.department = GbkToUtf8(record.department);
    out = FormatCheckJson(fields);
  } else {
    out = ReportForTerminal(SingleQueryReport(result));
  }
  if (!WriteAll(stdout, out)) {
    PrintError("cannot write the output");
    return kExitFailure;
  }
  return kExitOk;
}

int RunBatchCommand(const Options& options) {
  RowStore table;
  std::string reason;
  if (!ImportNumbersFromFile(table, options.operand, &reason)) {
    PrintError("cannot read " + options.operand + ": " + reason);
    return kExitUsage;
  }

  StdMessagePump pump;
  BatchSession session(table, pump);
  std::atomic<bool> interrupted{false};
  {
    // Before any worker exists, so every thread inherits the blocked signals.
    platform::InterruptWatcher watcher([&] {
      interrupted.store(true);
      session.RequestEnd();
    });
    std::unique_ptr<ProgressLine> progress;
    if (platform::IsTerminal(platform::Stream::kErr)) {
      progress = std::make_unique<ProgressLine>(session, table.RowCount());
    }

    session.StartBatchQuery(Utf8ToGbk(options.speed));
    bool all_ended = session.WaitForWorkers(kInterruptGrace);
    if (all_ended && options.remove_current && !session.IsEnding()) {
      session.RemoveRowsWithStatus(kStatusCurrent);
      all_ended = session.WaitForWorkers(kInterruptGrace);
    }
    if (all_ended && options.remove_superseded && !session.IsEnding()) {
      session.RemoveRowsWithStatus(kStatusSuperseded);
      all_ended = session.WaitForWorkers(kInterruptGrace);
    }
    progress.reset();
    if (!all_ended) {
      // Workers stuck past the grace still use the session: print and leave at once.
      WriteAll(stdout, FormatTable(options.format, table.Snapshot()));
      platform::ExitNow(kExitInterrupted);
    }
  }

  if (!WriteAll(stdout, FormatTable(options.format, table.Snapshot()))) {
    PrintError("cannot write the output");
    return kExitFailure;
  }
  return interrupted.load() ? kExitInterrupted : kExitOk;
}

}  // namespace

std::string UsageText() {
  return "usage: kelvaro-cli check [--site URL] [--json] NUMBER\n"
         "       kelvaro-cli batch [--site URL] [--speed N] [--format tsv|csv|json]\n"
         "                         [--remove-current] [--remove-superseded] FILE\n"
         "       kelvaro-cli --help | --version\n"
         "\n"
         "Tells whether national standards are still in force by looking their numbers up\n"
         "on the standards search site.\n"
         "\n"
         "  check NUMBER        look one standard number up and print the report\n"
         "  batch FILE          look up every line of FILE (UTF-8, CR LF line breaks) and\n"
         "                      print the table: ordinal, number, status, latest number, title\n"
         "\n"
         "  --site URL          site prefix such as http://host:port (default: $KELVARO_SITE,\n"
         "                      else the address built in; now " +
         GbkToUtf8(SitePrefix()) +
         ")\n"
         "  --json              check: print one JSON object instead of the report\n"
         "  --speed N           batch: lookups started at once, 1 to 64 (default 2); the site\n"
         "                      still sees one request at a time\n"
         "  --format F          batch: tsv (default), csv or json\n"
         "  --remove-current    batch: leave out the rows whose status is 现行\n"
         "  --remove-superseded batch: leave out the rows whose status is 有新标准\n"
         "  --help, --version\n"
         "\n"
         "Exit status: 0 done, 1 output could not be written, 2 usage error or unreadable\n"
         "file, 130 interrupted by SIGINT or SIGTERM: the rows are printed as they stand.\n";
}

bool IsWholeNumber(const std::string& text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error) {
  options = Options{};
  std::size_t i = 0;
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      options.command = Options::Command::kHelp;
      return true;
    }
    if (arg == "--") break;
  }
  if (args.empty()) {
    error = "no command given";
    return false;
  }
  if (args[0] == "--version") {
    options.command = Options::Command::kVersion;
    return true;
  }
  if (args[0] == "check") {
    options.command = Options::Command::kCheck;
  } else if (args[0] == "batch") {
    options.command = Options::Command::kBatch;
  } else if (!args[0].empty() && args[0][0] == '-') {
    error = "unknown option '" + args[0] + "'";
    return false;
  } else {
    error = "unknown command '" + args[0] + "'";
    return false;
  }
  const bool batch = options.command == Options::Command::kBatch;
  std::vector<std::string> operands;
  bool options_ended = false;
  for (i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.empty() || arg[0] != '-' || arg == "-") {
      operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    bool matched = false;
    std::string value;
    if (!OptionValue(args, i, "--site", value, matched, error)) return false;
    if (matched) {
      if (value.empty()) {
        error = "--site needs a URL";
        return false;
      }
      options.site = value;
      continue;
    }
    if (!batch && arg == "--json") {
      options.json = true;
      continue;
    }
    if (batch) {
      if (!OptionValue(args, i, "--speed", value, matched, error)) return false;
      if (matched) {
        if (!IsWholeNumber(value)) {
          error = "bad speed '" + value + "': give a whole number from 1 to 64";
          return false;
        }
        options.speed = value;
        continue;
      }
      if (!OptionValue(args, i, "--format", value, matched, error)) return false;
      if (matched) {
        if (value != "tsv" && value != "csv" && value != "json") {
          error = "bad format '" + value + "': use tsv, csv or json";
          return false;
        }
        options.format = value;
        continue;
      }
      if (arg == "--remove-current") {
        options.remove_current = true;
        continue;
      }
      if (arg == "--remove-superseded") {
        options.remove_superseded = true;
        continue;
      }
    }
    error = "unknown option '" + arg + "' for " + args[0];
    return false;
  }
  if (operands.size() != 1) {
    const std::string what = batch ? "FILE" : "NUMBER";
    error = operands.empty()
                ? args[0] + " needs a " + what
                : args[0] + " takes one " + what + ", got " + std::to_string(operands.size());
    return false;
  }
  options.operand = operands[0];
  return true;
}

int RunCli(int argc, char** argv) {
  try {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    Options options;
    std::string error;
    if (!ParseArguments(args, options, error)) return UsageError(error);
    switch (options.command) {
      case Options::Command::kHelp:
        return WriteAll(stdout, UsageText()) ? kExitOk : kExitFailure;
      case Options::Command::kVersion:
        return WriteAll(stdout, std::string(kProgram) + " " + KELVARO_VERSION + "\n")
                   ? kExitOk
                   : kExitFailure;
      default:
        break;
    }
    if (!options.site.empty()) SetSitePrefixOverride(Utf8ToGbk(options.site));
    platform::InitWeb();
    return options.command == Options::Command::kCheck ? RunCheck(options)
                                                       : RunBatchCommand(options);
  } catch (const std::bad_alloc&) {
    PrintError("out of memory");
  } catch (const std::exception& e) {
    PrintError(e.what());
  }
  return kExitFailure;
}

}  // namespace kelvaro::cli
