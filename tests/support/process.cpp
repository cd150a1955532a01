#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kelvaro::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::vector<std::string> ChildEnvironment(const ProcessSetup& setup) {
  std::vector<std::string> out;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string key = entry.substr(0, entry.find('='));
    if (setup.env.count(key) != 0 || key == "KELVARO_STORE") continue;
    bool unset = false;
    for (const std::string& name : setup.unset_env) unset = unset || name == key;
    if (!unset) out.push_back(entry);
  }
  for (const auto& [key, value] : setup.env) out.push_back(key + "=" + value);
  // A program under test keeps no lookups unless the test gives it a store: answers kept by
  // one test (or by the user) would answer another's.
  if (setup.env.count("KELVARO_STORE") == 0) out.push_back("KELVARO_STORE=off");
  return out;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, const ProcessSetup& setup) {
  std::vector<std::string> env = ChildEnvironment(setup);
  const std::string out_path = dir_.File("stdout");
  const std::string err_path = dir_.File("stderr");
  int fds[2] = {-1, -1};
  if (setup.stdout_mode == ProcessSetup::Stdout::kPipe && pipe2(fds, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  switch (setup.stdout_mode) {
    case ProcessSetup::Stdout::kFile:
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
      break;
    case ProcessSetup::Stdout::kPipe:
      posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
      break;
    case ProcessSetup::Stdout::kClosed:
      posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
      break;
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const std::vector<char*> args = Pointers(argv);
  const std::vector<char*> envp = Pointers(env);
  const int rc = posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (fds[1] >= 0) close(fds[1]);
  pipe_fd_ = fds[0];
  if (rc != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (pipe_fd_ >= 0) close(pipe_fd_);
}

void ChildProcess::Signal(int signal_number) {
  if (pid_ > 0) kill(pid_, signal_number);
}

void ChildProcess::ReadSome() {
  pollfd pfd{pipe_fd_, POLLIN, 0};
  if (poll(&pfd, 1, 10) <= 0) return;
  char buffer[4096];
  const ssize_t got = read(pipe_fd_, buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return;
  if (got <= 0) {
    close(pipe_fd_);
    pipe_fd_ = -1;
    return;
  }
  piped_.append(buffer, static_cast<std::size_t>(got));
}

std::string ChildProcess::ReadOutput(std::size_t count) {
  const std::size_t start = piped_.size();
  const auto deadline = Clock::now() + 60s;
  while (pipe_fd_ >= 0 && piped_.size() - start < count && Clock::now() < deadline) ReadSome();
  return piped_.substr(start);
}

ProcessResult ChildProcess::Wait(std::chrono::milliseconds timeout) {
  ProcessResult result;
  const auto deadline = Clock::now() + timeout;
  int status = 0;
  for (;;) {
    // A child blocked on a full pipe ends only once it is read.
    if (pipe_fd_ >= 0) ReadSome();
    if (waitpid(pid_, &status, WNOHANG) == pid_) break;
    if (Clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    if (pipe_fd_ < 0) std::this_thread::sleep_for(2ms);
  }
  pid_ = -1;
  while (pipe_fd_ >= 0) ReadSome();
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = piped_ + ReadWholeFile(dir_.File("stdout"));
  result.err = ReadWholeFile(dir_.File("stderr"));
  return result;
}

ProcessResult RunProcess(std::vector<std::string> argv, const ProcessSetup& setup) {
  ChildProcess child(std::move(argv), setup);
  return child.Wait();
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

}  // namespace kelvaro::test
