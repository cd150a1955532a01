#include "support/sample_site.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kelvaro::test {

namespace {

#ifdef KELVARO_SAMPLE_SITE_PATH
constexpr const char* kSitePath = KELVARO_SAMPLE_SITE_PATH;
#else
constexpr const char* kSitePath = "kelvaro-sample-site";
#endif

// Reads up to the first line break, giving up at the deadline.
bool ReadFirstLine(int fd, std::string& line) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd pfd{fd, POLLIN, 0};
    const int ready = poll(&pfd, 1, 100);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    char c;
    const ssize_t got = read(fd, &c, 1);
    if (got == 0) return false;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (c == '\n') return true;
    line.push_back(c);
  }
  return false;
}

}  // namespace

SampleSite::SampleSite(std::vector<std::string> extra_args, const std::string& stderr_path) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> args = {kSitePath, "--port", "0"};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  // The site's start-up line on stderr would only clutter test output; its request log is
  // kept when asked for.
  const bool log = std::find(extra_args.begin(), extra_args.end(), "--log") != extra_args.end();
  if (!stderr_path.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderr_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  } else if (!log) {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  const int rc = posix_spawn(&pid_, kSitePath, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  stdout_fd_ = fds[0];
  if (rc != 0) {
    pid_ = -1;
    Stop();
    throw std::runtime_error(std::string("cannot start ") + kSitePath + ": " + std::strerror(rc));
  }
  std::string line;
  if (!ReadFirstLine(stdout_fd_, line) || line.empty() ||
      line.find_first_not_of("0123456789") != std::string::npos) {
    Stop();
    throw std::runtime_error("the sample site did not announce its port (got \"" + line + "\")");
  }
  port_ = std::stoi(line);
}

SampleSite::~SampleSite() { Stop(); }

std::string SampleSite::prefix() const { return "http://127.0.0.1:" + std::to_string(port_); }

void SampleSite::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
  }
  if (stdout_fd_ >= 0) {
    close(stdout_fd_);
    stdout_fd_ = -1;
  }
}

}  // namespace kelvaro::test
