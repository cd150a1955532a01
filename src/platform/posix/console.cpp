#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>
#include <utility>

#include "platform/console.h"
#include "text/text.h"

namespace kelvaro::platform {
namespace {

std::FILE* FileOf(Stream stream) { return stream == Stream::kOut ? stdout : stderr; }

}  // namespace

void EnsureStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free number, which is this one. Output is opened for
    // reading only, so that writing to it fails instead of vanishing.
    const int opened = ::open("/dev/null", O_RDONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
  }
}

bool IsTerminal(Stream stream) { return ::isatty(stream == Stream::kOut ? 1 : 2) == 1; }

bool WriteText(Stream stream, const std::string& utf8) {
  std::FILE* file = FileOf(stream);
  if (!utf8.empty() && std::fwrite(utf8.data(), 1, utf8.size(), file) != utf8.size()) {
    return false;
  }
  return std::fflush(file) == 0;
}

bool ReadStandardInput(Bytes& out, std::string& error) {
  out.clear();
  error.clear();
  std::uint8_t buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(0, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      if (out.empty() && errno == EBADF) return true;  // closed, or open for writing only
      error = std::strerror(errno);
      out.clear();
      return false;
    }
    out.insert(out.end(), buffer, buffer + got);
  }
}

void ExitNow(int code) {
  std::fflush(nullptr);
  ::_exit(code);
}

// The signals are blocked in every thread and taken by one watching thread with
// sigtimedwait, so nothing runs in a signal handler.
struct InterruptWatcher::State {
  std::function<void()> on_interrupt;
  sigset_t set{};
  sigset_t old{};
  std::atomic<bool> stop{false};
  bool fired = false;
  std::thread thread;

  void Watch() {
    const timespec poll{0, 50'000'000};
    while (!stop.load()) {
      if (sigtimedwait(&set, nullptr, &poll) > 0 && !fired) {
        fired = true;
        on_interrupt();
      }
    }
  }
};

InterruptWatcher::InterruptWatcher(std::function<void()> on_interrupt)
    : state_(std::make_unique<State>()) {
  state_->on_interrupt = std::move(on_interrupt);
  sigemptyset(&state_->set);
  sigaddset(&state_->set, SIGINT);
  sigaddset(&state_->set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &state_->set, &state_->old);
  state_->thread = std::thread([state = state_.get()] { state->Watch(); });
}

InterruptWatcher::~InterruptWatcher() {
  state_->stop = true;
  state_->thread.join();
  // A signal the watching thread had no time to take is still the user's interrupt:
  // unblocked, it would end the process instead.
  const timespec now{0, 0};
  if (sigtimedwait(&state_->set, nullptr, &now) > 0 && !state_->fired) {
    state_->fired = true;
    state_->on_interrupt();
  }
  pthread_sigmask(SIG_SETMASK, &state_->old, nullptr);
}

}  // namespace kelvaro::platform
