#include "support/counting_worker.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace kelvaro::test {

CountingWorker::CountingWorker(BatchRunner& runner, Options options)
    : runner_(runner), options_(std::move(options)) {}

WorkerRoutine CountingWorker::Routine() {
  return [this](int row_number) { return Run(row_number); };
}

int CountingWorker::Run(int row_number) {
  {
    std::lock_guard lock(mutex_);
    ++running_;
    max_running_ = std::max(max_running_, running_);
    if (options_.hold_until_running > 0 && running_ >= options_.hold_until_running) {
      hold_reached_ = true;
    }
    started_.push_back(row_number);
    events_.push_back(prefix_ + "s" + std::to_string(row_number));
    changed_.notify_all();
  }
  if (options_.on_start) options_.on_start(row_number);
  {
    std::unique_lock lock(mutex_);
    if (options_.hold_until_running > 0) {
      changed_.wait_for(lock, options_.hold_timeout, [this] { return hold_reached_; });
    }
    if (options_.gated && options_.gated(row_number)) {
      changed_.wait_for(lock, std::chrono::seconds(60), [this] { return gate_open_; });
    }
  }
  if (options_.sleep.count() > 0) std::this_thread::sleep_for(options_.sleep);
  {
    std::lock_guard lock(mutex_);
    --running_;
    finished_.push_back(row_number);
    events_.push_back(prefix_ + "f" + std::to_string(row_number));
    changed_.notify_all();
  }
  runner_.WorkerFinished();
  return 0;
}

void CountingWorker::OpenGate() {
  std::lock_guard lock(mutex_);
  gate_open_ = true;
  changed_.notify_all();
}

bool CountingWorker::WaitForStarted(int n, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return static_cast<int>(started_.size()) >= n; });
}

bool CountingWorker::WaitForFinished(int n, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return static_cast<int>(finished_.size()) >= n; });
}

int CountingWorker::MaxRunning() {
  std::lock_guard lock(mutex_);
  return max_running_;
}

int CountingWorker::Running() {
  std::lock_guard lock(mutex_);
  return running_;
}

std::vector<int> CountingWorker::StartedRows() {
  std::lock_guard lock(mutex_);
  return started_;
}

std::vector<int> CountingWorker::FinishedRows() {
  std::lock_guard lock(mutex_);
  return finished_;
}

std::vector<std::string> CountingWorker::Events() {
  std::lock_guard lock(mutex_);
  return events_;
}

void CountingWorker::SetPrefix(std::string prefix) {
  std::lock_guard lock(mutex_);
  prefix_ = std::move(prefix);
}

}  // namespace kelvaro::test
