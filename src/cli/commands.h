// The two commands, and what both use to print.
#pragma once

#include <string>

#include "cli/options.h"

namespace kelvaro::cli {

// Each returns the exit code.
int RunCheck(const Options& options);
int RunBatch(const Options& options);

// "kelvaro-cli: <line>" on stderr.
void PrintError(const std::string& line);
// Writes all of `utf8` to stdout; on failure says so on stderr. Returns kExitOk or
// kExitFailure.
int WriteOutput(const std::string& utf8);

}  // namespace kelvaro::cli
