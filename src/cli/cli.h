// kelvaro-cli: the headless front end. `check` looks one number up; `batch` imports a
// file of numbers, queries every row and prints the table.
#pragma once

namespace kelvaro::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;     // output could not be written
inline constexpr int kExitUsage = 2;       // bad arguments, unreadable file
inline constexpr int kExitSiteFailed = 3;  // --strict: a row ended in a network or HTTP error
inline constexpr int kExitOutdated = 4;    // --fail-on outdated: a row cites an outdated standard
inline constexpr int kExitInterrupted = 130;  // SIGINT or SIGTERM during a batch

// The whole program; returns the exit code.
int RunCli(int argc, char** argv);

}  // namespace kelvaro::cli
