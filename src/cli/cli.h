// kelvaro-cli: the headless front end. `check` looks one number up; `batch` imports a
// file of numbers, queries every row and prints the table.
#pragma once

#include <string>
#include <vector>

namespace kelvaro::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;        // output could not be written
inline constexpr int kExitUsage = 2;          // bad arguments, unreadable file
inline constexpr int kExitInterrupted = 130;  // SIGINT or SIGTERM during a batch

// The whole program; returns the exit code.
int RunCli(int argc, char** argv);

// Parsed command line (exposed for tests).
struct Options {
  enum class Command { kNone, kCheck, kBatch, kHelp, kVersion };
  Command command = Command::kNone;
  std::string site;  // empty: KELVARO_SITE or the build default
  bool json = false;
  std::string speed = "2";
  std::string format = "tsv";
  bool remove_current = false;
  bool remove_superseded = false;
  std::string operand;  // NUMBER or FILE
};

// False with a one-line reason for a usage error.
bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error);

// A speed argument must be a whole decimal number (optional sign); it is then bounded
// like the window's speed box.
bool IsWholeNumber(const std::string& text);

std::string UsageText();

}  // namespace kelvaro::cli
