#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <optional>
#include <string>

#include "document/writers/xlsx_writer.h"
#include "site/standard_site.h"
#include "text/encoding.h"

namespace kelvaro::cli {
namespace {

constexpr int kMinSpeed = 1;
constexpr int kMaxSpeed = 64;

struct FormatName {
  Format format;
  const char* name;
};
constexpr FormatName kFormats[] = {
    {Format::kTsv, "tsv"}, {Format::kCsv, "csv"}, {Format::kJson, "json"}, {Format::kXlsx, "xlsx"}};

const char* const kSynopsis =
    "usage: kelvaro-cli check [--site URL] [--insecure] [--json] NUMBER\n"
    "       kelvaro-cli batch [--site URL] [--insecure] [--speed N]\n"
    "                         [--format tsv|csv|json|xlsx] [-o FILE] [--remove-current]\n"
    "                         [--remove-superseded] [--reasons] [--sources] [--retry N]\n"
    "                         [--strict] [--fail-on outdated] [--citations]\n"
    "                         [--changed-only] [--max-age DAYS] [--no-store] FILE|DIR|-\n"
    "       kelvaro-cli extract [--format tsv|csv|json] [-o FILE] FILE|-\n"
    "       kelvaro-cli mark [--site URL] [--insecure] [--speed N] [--retry N]\n"
    "                        [--replace] [--max-age DAYS] [--no-store] FILE|DIR -o OUT\n"
    "       kelvaro-cli changes [--site URL] [--insecure] [--speed N] [--retry N]\n"
    "                           [--format tsv|csv|json|xlsx] [-o FILE] [--citations]\n"
    "                           [--max-age DAYS] [--no-store] FILE|DIR|-\n"
    "       kelvaro-cli history NUMBER\n";

// A whole decimal number (optional sign) from `low` to `high`.
std::optional<int> ParseWholeNumber(const std::string& text, int low, int high) {
  std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
  if (i == text.size()) return std::nullopt;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = std::min<long long>(value * 10 + (text[i] - '0'), high + 1LL);
  }
  if (text[0] == '-') value = -value;
  if (value < low || value > high) return std::nullopt;
  return static_cast<int>(value);
}

// `extract` prints citations, which no workbook holds.
std::optional<Format> ParseFormat(const std::string& text, bool workbook) {
  for (const FormatName& f : kFormats) {
    if (text == f.name && (workbook || f.format != Format::kXlsx)) return f.format;
  }
  return std::nullopt;
}

ParsedArguments Error(std::string reason) { return {Options{}, std::move(reason)}; }

// CLI11 takes the list reversed. It reads "--name=" as "--name" and then the next argument;
// split it, so the empty value stays empty.
std::vector<std::string> ForCli11(std::vector<std::string>::const_iterator begin,
                                  std::vector<std::string>::const_iterator end) {
  std::vector<std::string> out;
  bool options_ended = false;
  for (auto arg = begin; arg != end; ++arg) {
    options_ended = options_ended || *arg == "--";
    if (!options_ended && arg->size() > 3 && arg->starts_with("--") &&
        arg->find('=') == arg->size() - 1) {
      out.push_back(arg->substr(0, arg->size() - 1));
      out.emplace_back();
    } else {
      out.push_back(*arg);
    }
  }
  std::reverse(out.begin(), out.end());
  return out;
}

struct CommandName {
  Options::Command command;
  const char* name;
};
constexpr CommandName kCommands[] = {
    {Options::Command::kCheck, "check"},     {Options::Command::kBatch, "batch"},
    {Options::Command::kExtract, "extract"}, {Options::Command::kMark, "mark"},
    {Options::Command::kChanges, "changes"}, {Options::Command::kHistory, "history"}};

std::optional<Options::Command> ParseCommandName(const std::string& name) {
  for (const CommandName& c : kCommands) {
    if (name == c.name) return c.command;
  }
  return std::nullopt;
}

// Which options a command takes.
struct CommandKinds {
  explicit CommandKinds(Options::Command command)
      : check(command == Options::Command::kCheck),
        batch(command == Options::Command::kBatch),
        extract(command == Options::Command::kExtract),
        mark(command == Options::Command::kMark),
        changes(command == Options::Command::kChanges),
        history(command == Options::Command::kHistory) {}
  bool check, batch, extract, mark, changes, history;
  // The commands that look a file's rows up, and those that write a table or a file.
  bool LooksUp() const { return batch || mark || changes; }
  bool Formats() const { return batch || extract || changes; }
  bool Writes() const { return Formats() || mark; }
};

// What the command line gave, as text, before it is checked.
struct GivenValues {
  std::vector<std::string> operands;
  std::string speed = "2";
  std::string format = "tsv";
  std::string retry = "0";
  std::string fail_on;
  std::string max_age = "7";
};

void DeclareOptions(CLI::App& app, const CommandKinds& kinds, Options& options,
                    GivenValues& given) {
  const auto take_last = CLI::MultiOptionPolicy::TakeLast;
  app.add_option("operand", given.operands);
  if (!kinds.extract && !kinds.history) {
    app.add_option("--site", options.site)->multi_option_policy(take_last);
    app.add_flag("--insecure", options.insecure);
  }
  if (kinds.Formats()) app.add_option("--format", given.format)->multi_option_policy(take_last);
  if (kinds.Writes()) app.add_option("-o,--output", options.output)->multi_option_policy(take_last);
  if (kinds.LooksUp()) {
    app.add_option("--speed", given.speed)->multi_option_policy(take_last);
    app.add_option("--retry", given.retry)->multi_option_policy(take_last);
    app.add_flag("--no-store", options.no_store);
    app.add_option("--max-age", given.max_age)->multi_option_policy(take_last);
  }
  if (kinds.batch || kinds.changes) app.add_flag("--citations", options.citations);
  if (kinds.batch) {
    app.add_flag("--remove-current", options.remove_current);
    app.add_flag("--remove-superseded", options.remove_superseded);
    app.add_flag("--reasons", options.reasons);
    app.add_flag("--sources", options.sources);
    app.add_flag("--strict", options.strict);
    app.add_flag("--changed-only", options.changed_only);
    app.add_option("--fail-on", given.fail_on)->multi_option_policy(take_last);
  }
  if (kinds.mark) app.add_flag("--replace", options.replace);
  if (kinds.check) app.add_flag("--json", options.json);
}

// CLI11's reading of the arguments after the command; why it failed, or "".
std::string ReadWithCli11(CLI::App& app, const std::vector<std::string>& args,
                          const std::string& command) {
  try {
    std::vector<std::string> reversed = ForCli11(args.begin() + 1, args.end());
    app.parse(reversed);
  } catch (const CLI::ArgumentMismatch& e) {
    const std::string what = e.what();  // "--site: 1 required TEXT missing"
    if (!what.ends_with(" missing")) return what;
    return "option " + what.substr(0, what.find(':')) + " needs a value";
  } catch (const CLI::ParseError& e) {
    return e.what();
  }
  for (const std::string& extra : app.remaining()) {
    if (extra != "--") return "unknown option '" + extra + "' for " + command;
  }
  return {};
}

// The values given as text made options; why one is bad, or "".
std::string CheckValues(const CLI::App& app, const CommandKinds& kinds, const GivenValues& given,
                        Options& options) {
  if (!kinds.extract && !kinds.history && app.count("--site") > 0 && options.site.empty()) {
    return "--site needs a URL";
  }
  if (kinds.Writes() && app.count("--output") > 0 && options.output.empty()) {
    return "--output needs a FILE";
  }
  if (kinds.LooksUp()) {
    const std::optional<int> speed = ParseWholeNumber(given.speed, kMinSpeed, kMaxSpeed);
    if (!speed) return "bad speed '" + given.speed + "': give a whole number from 1 to 64";
    options.speed = *speed;
  }
  if (kinds.Formats()) {
    const std::optional<Format> format = ParseFormat(given.format, !kinds.extract);
    if (!format) {
      return "bad format '" + given.format + "': use tsv, csv" +
             (kinds.extract ? " or json" : ", json or xlsx");
    }
    options.format = *format;
  }
  if (kinds.LooksUp()) {
    const std::optional<int> retry = ParseWholeNumber(given.retry, 0, kMaxRetry);
    if (!retry) {
      return "bad retry count '" + given.retry + "': give a whole number from 0 to " +
             std::to_string(kMaxRetry);
    }
    options.retry = *retry;
    // Up to the year the store keeps.
    const std::optional<int> max_age = ParseWholeNumber(given.max_age, 0, 366);
    if (!max_age) {
      return "bad --max-age '" + given.max_age + "': give a whole number of days from 0 to 366";
    }
    options.max_age_days = *max_age;
  }
  if (kinds.batch) {
    if (app.count("--fail-on") > 0 && given.fail_on != "outdated") {
      return "bad --fail-on kind '" + given.fail_on + "': use outdated";
    }
    options.fail_on_outdated = app.count("--fail-on") > 0;
  }
  return {};
}

// The options and the operand of a command (args[0]).
ParsedArguments ParseCommand(const std::vector<std::string>& args) {
  const std::string& command = args[0];
  Options options;
  options.command = *ParseCommandName(command);
  const CommandKinds kinds(options.command);
  CLI::App app;
  app.set_help_flag();  // handled before, with our own text
  app.allow_extras();   // unknown options are reported below, in our words
  // CLI11 on Windows would take "/path" or "/x" for an option: the same words as on Linux.
  app.allow_windows_style_options(false);
  GivenValues given;
  DeclareOptions(app, kinds, options, given);
  if (std::string error = ReadWithCli11(app, args, command); !error.empty()) {
    return Error(std::move(error));
  }
  if (std::string error = CheckValues(app, kinds, given, options); !error.empty()) {
    return Error(std::move(error));
  }
  const std::string what = kinds.check || kinds.history ? "NUMBER" : "FILE";
  if (given.operands.empty()) return Error(command + " needs a " + what);
  if (given.operands.size() > 1) {
    return Error(command + " takes one " + what + ", got " + std::to_string(given.operands.size()));
  }
  options.operand = given.operands[0];
  if (kinds.mark && options.output.empty()) return Error("mark needs -o OUT, the marked copy");
  return {options, {}};
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  // Asking for help wins over every mistake around it.
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") return {Options{}, {}};
  }
  if (args.empty()) return Error("no command given");
  if (args[0] == "--version") {
    Options version;
    version.command = Options::Command::kVersion;
    return {version, {}};
  }
  if (ParseCommandName(args[0])) return ParseCommand(args);
  const bool option = !args[0].empty() && args[0][0] == '-';
  return Error((option ? "unknown option '" : "unknown command '") + args[0] + "'");
}

std::string OutputRefusal(const Options& options, bool stdout_is_terminal) {
  if (options.format != Format::kXlsx || !options.output.empty() || !stdout_is_terminal) return {};
  return "an Excel workbook is not written to a terminal: give -o FILE or redirect the output";
}

std::string RowCountRefusal(const Options& options, std::size_t rows) {
  if (options.format != Format::kXlsx || rows <= kXlsxMaxRows) return {};
  return "the table has " + std::to_string(rows) + " rows, more than an Excel sheet holds (" +
         std::to_string(kXlsxMaxRows) + "): use --format csv, tsv or json";
}

std::string ShortUsage() { return std::string(kSynopsis) + "Try 'kelvaro-cli --help' for more.\n"; }

// The help text around the site line, which says where lookups go now.
constexpr char kCommandsHelp[] =
    "       kelvaro-cli --help | --version\n"
    "\n"
    "Tells whether national standards are still in force by looking their numbers up\n"
    "on the standards search site.\n"
    "\n"
    "  check NUMBER        look one standard number up and print the report\n"
    "  batch FILE          look up every line of FILE (UTF-8, or UTF-16 after its\n"
    "                      byte-order mark; CR LF or LF line ends) and\n"
    "                      print the table: ordinal, number, status, latest number, title;\n"
    "                      a .docx, .doc, .wps, .xlsx, .xls, .csv or .pdf: every\n"
    "                      standard it cites;\n"
    "                      - reads standard input\n"
    "  batch DIR           every .docx, .doc, .wps, .xlsx, .xls, .csv, .pdf and .txt\n"
    "                      under DIR (8 folders deep at most, 2,000 documents; links,\n"
    "                      hidden and ~$ files left out), one row per standard with\n"
    "                      every place, each place naming its document; a document\n"
    "                      that cannot be read is said on stderr and passed over\n"
    "  extract FILE        print the standards FILE cites (any kind, a .txt too), with\n"
    "                      where they stand; nothing is looked up\n"
    "  mark FILE -o OUT    look up the standards a .docx or .xlsx cites and write a\n"
    "                      copy to OUT: a Word copy with a comment and a shading on\n"
    "                      every citation that needs attention, an Excel copy with a\n"
    "                      first sheet 核查结果 listing every citation (for text, CSV\n"
    "                      and PDF use changes)\n"
    "  mark DIR -o OUT     the same for every .docx and .xlsx under DIR, each copy\n"
    "                      written into the new folder OUT at its path under DIR\n"
    "  changes FILE        look FILE up as batch does and print the change list: one\n"
    "                      line per standard that needs attention (序号, 原文, 出处,\n"
    "                      结论, 建议改为, 查询结果网页); for DIR, document by\n"
    "                      document, with the column 文档\n"
    "  history NUMBER      list what the lookup store holds for NUMBER's standard, newest\n"
    "                      first: when, which site, how the site answered, the rows\n"
    "                      listed for that standard\n"
    "\n";
constexpr char kOptionsHelp[] =
    ")\n"
    "  --insecure          accept the site's certificate unchecked (https; also\n"
    "                      KELVARO_TLS_INSECURE=1): only for a site whose certificate is\n"
    "                      broken, as anyone in between could then forge the answers\n"
    "  --json              check: print one JSON object instead of the report\n"
    "  --format F          batch, changes: tsv (default), csv, json or xlsx (an Excel\n"
    "                      workbook, never to a terminal); extract: tsv, csv or json\n"
    "  -o, --output FILE   batch, extract, changes: write to FILE instead of standard\n"
    "                      output; mark: the marked copy, required, not FILE itself\n"
    "  --citations         batch, changes: read a text file (or -) as a document, a row\n"
    "                      per citation, instead of as a list of numbers\n"
    "  --replace           mark: in a Word copy, replace a superseded citation's number\n"
    "                      (and its title where it differs) by the current one, as a\n"
    "                      tracked change\n"
    "  --sources           batch: add the columns 出处 and 原文 to TSV and CSV\n"
    "  --speed N           batch, mark, changes: lookups started at once (default 2),\n"
    "                      a whole number from 1 to 64; the site still sees one request\n"
    "                      at a time\n"
    "  --remove-current    batch: leave out the rows whose status is 现行\n"
    "  --remove-superseded batch: leave out the rows whose status is 有新标准\n"
    "  --reasons           batch: add a sixth column 原因 to TSV and CSV (JSON rows\n"
    "                      always have \"reason\"): found, not-found, no-year, empty,\n"
    "                      http-error STATUS, network: ERROR, aborted, withdrawn,\n"
    "                      not-in-force, refused, unrecognised, newer-than-site\n"
    "  --retry N           batch, mark, changes: look the rows up again whose lookup\n"
    "                      ended in a network or HTTP error, up to N more times (0 to 5,\n"
    "                      default 0), after waits of 1 s, 2 s, 4 s, 8 s, 16 s; a retry\n"
    "                      always asks the site\n"
    "  --max-age DAYS      batch, mark, changes: answer from the lookup store what it\n"
    "                      looked up fewer than DAYS days ago (0 to 366, default 7; 0\n"
    "                      asks the site for every row)\n"
    "  --changed-only      batch: print only the rows whose verdict differs from the one\n"
    "                      the lookup store kept for the standard last time\n"
    "  --no-store          batch, mark, changes: neither answer from the lookup store nor\n"
    "                      keep lookups in it (as KELVARO_STORE=off)\n"
    "  --strict            batch: exit with 3 when a row still ended in a network or\n"
    "                      HTTP error\n"
    "  --fail-on outdated  batch: exit with 4 when a row is 有新标准, withdrawn, not yet\n"
    "                      in force, or 现行 in another edition than the one cited; with\n"
    "                      3 when a row could not be checked\n"
    "  --help, --version\n"
    "\n"
    "Output is UTF-8. Control characters from the site are written as \\xNN in the\n"
    "report and in TSV; a CSV cell starting with =, +, - or @ gets a leading '.\n"
    "\n"
    "batch, mark and changes end with one summary line on stderr: the rows, how many\n"
    "are 现行 and 有新标准, and the 未知 ones as 已废止, 尚未实施, 未收录 and 查询失败.\n"
    "\n"
    "Exit status: 0 done, 1 output could not be written, 2 usage error, unreadable\n"
    "file or more rows than a workbook holds, 3 the site could not be asked for some\n"
    "row (batch under --strict or --fail-on; mark and changes always, and they write\n"
    "nothing when it could be asked for none), 4 (--fail-on outdated) some row is\n"
    "outdated, 130 interrupted by SIGINT or SIGTERM: the rows are printed as they\n"
    "stand. mark refuses (2) before any lookup when OUT is FILE or FILE is no .docx or\n"
    ".xlsx; its copy is written whole or not at all.\n"
    "\n"
    "Every lookup is kept for a year in the lookup store: $XDG_DATA_HOME/kelvaro/\n"
    "lookups.sqlite3 (~/.local/share/...; %LOCALAPPDATA%\\Kelvaro\\ on Windows), or\n"
    "KELVARO_STORE=PATH; KELVARO_STORE=off keeps none.\n";

std::string UsageText() {
  return std::string(kSynopsis) + kCommandsHelp +
         "  --site URL          site prefix such as http://host:port (default: $KELVARO_SITE,\n"
         "                      else the settings file's [site] address, else the address\n"
         "                      built in; now " +
         GbkToUtf8(ResolveSite().prefix) + kOptionsHelp;
}

}  // namespace kelvaro::cli
