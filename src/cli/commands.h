// The commands, and what they use to read and print.
#pragma once

#include <string>
#include <string_view>

#include "cli/options.h"
#include "document/document.h"
#include "text/text.h"

namespace kelvaro::cli {

// Each returns the exit code.
int RunCheck(const Options& options);
int RunBatch(const Options& options);
int RunExtract(const Options& options);

// "kelvaro-cli: <line>" on stderr.
void PrintError(const std::string& line);
// Writes all of `utf8` to stdout; on failure says so on stderr. Returns kExitOk or
// kExitFailure.
int WriteOutput(const std::string& utf8);
// Writes `data` to options.output (whole or not at all), else to stdout; on failure says so
// on stderr. Returns kExitOk or kExitFailure.
int WriteResult(const Options& options, std::string_view data);

// The bytes of the operand: the file, or standard input for "-"; false with the reason.
bool ReadOperand(const Options& options, Bytes& bytes, std::string& error);
// The kind of document the operand is: by its extension; standard input is text.
DocumentKind OperandKind(const Options& options);
// "cannot read FILE: why" on stderr ("standard input" for "-").
void PrintUnreadable(const Options& options, const std::string& why);
// Whether options.output's folder takes a new file; says on stderr why not. Asked before a
// long batch, so that its rows are not looked up for nothing.
bool OutputFolderWritable(const Options& options);

}  // namespace kelvaro::cli
