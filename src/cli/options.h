// The command line's arguments: what they may be, and the usage text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kelvaro::cli {

enum class Format { kTsv, kCsv, kJson, kXlsx };

// --retry's bound: the waits before the tries double from 1 s, so 5 tries wait 31 s in all.
inline constexpr int kMaxRetry = 5;

struct Options {
  enum class Command { kHelp, kVersion, kCheck, kBatch, kExtract, kMark, kChanges, kHistory };
  Command command = Command::kHelp;
  std::string site;       // empty: KELVARO_SITE or the build default
  bool insecure = false;  // accept any certificate
  bool json = false;
  int speed = 2;  // 1..64
  Format format = Format::kTsv;
  bool remove_current = false;
  bool remove_superseded = false;
  bool reasons = false;           // TSV and CSV: the sixth column 原因
  int retry = 0;                  // 0..kMaxRetry further tries of rows the site failed
  bool strict = false;            // exit kExitSiteFailed when a row still failed at the end
  bool fail_on_outdated = false;  // exit kExitOutdated when a row is outdated (IsOutdated)
  bool citations = false;         // a text file (or stdin) is read as a document, not as a list
  bool sources = false;           // TSV and CSV: the columns 出处 and 原文
  bool replace = false;           // mark: superseded numbers and titles replaced, tracked
  bool changed_only = false;      // batch: only the rows whose verdict changed since last time
  bool no_store = false;          // --no-store: nothing kept, nothing answered from the store
  int max_age_days = 7;           // lookups younger than this are answered from the store
  std::string output;             // -o FILE; empty: stdout
  std::string operand;            // NUMBER, or FILE ("-": standard input)
};

struct ParsedArguments {
  Options options;
  std::string error;  // a one-line reason for a usage error; empty when the arguments are good
};

// `args` without the program name.
ParsedArguments ParseArguments(const std::vector<std::string>& args);

// Why the output cannot go where it would ("" when it can): a workbook is no text for a
// terminal.
std::string OutputRefusal(const Options& options, bool stdout_is_terminal);
// Why a table of `rows` rows cannot be written as asked ("" when it can): a workbook holds
// no more than an Excel sheet does. Asked right after the import, before any lookup.
std::string RowCountRefusal(const Options& options, std::size_t rows);

// The synopsis shown after a usage error, and the whole help text that begins with it.
std::string ShortUsage();
std::string UsageText();

}  // namespace kelvaro::cli
