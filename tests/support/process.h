// A program run as a child process, its output captured, for end-to-end tests.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace kelvaro::test {

struct ProcessResult {
  int exit_code = -1;  // -1 when ended by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

struct ProcessSetup {
  enum class Stdout { kFile, kPipe, kClosed };
  std::map<std::string, std::string> env;  // set in the child's environment
  std::vector<std::string> unset_env;      // taken out of it
  Stdout stdout_mode = Stdout::kFile;
};

// Standard input is the null device; stderr always goes to a file. With kPipe the test reads
// stdout while the child runs (a child writing more than the pipe holds then waits for it).
class ChildProcess {
 public:
  // argv[0] is the program's path.
  explicit ChildProcess(std::vector<std::string> argv, const ProcessSetup& setup = {});
  ~ChildProcess();  // kills a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void Signal(int signal_number);
  // kPipe only: waits until at least `count` bytes have arrived (or the pipe ended) and
  // returns what was read; it is kept for Wait's result as well.
  std::string ReadOutput(std::size_t count);
  // Waits for the end; a child still running at the deadline is killed (result: SIGKILL).
  ProcessResult Wait(std::chrono::milliseconds timeout = std::chrono::seconds(120));

 private:
  void ReadSome();

  TempDir dir_;
  pid_t pid_ = -1;
  int pipe_fd_ = -1;
  std::string piped_;
};

ProcessResult RunProcess(std::vector<std::string> argv, const ProcessSetup& setup = {});

std::string ReadWholeFile(const std::string& path);

}  // namespace kelvaro::test
