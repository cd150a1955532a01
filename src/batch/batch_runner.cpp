#include "batch/batch_runner.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/threads.h"

namespace kelvaro {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kIdleRetryDelay = std::chrono::milliseconds(50);
constexpr int kPollMicroseconds = 1;

}  // namespace

bool StartDetachedThread(std::function<void()> body) {
  return platform::StartDetachedThread(std::move(body));
}

int ClampBound(int bound) { return std::clamp(bound, kMinBound, kMaxBound); }

BatchRunner::BatchRunner(MessagePump& pump, ThreadStarter starter)
    : pump_(pump), starter_(starter ? std::move(starter) : ThreadStarter(StartDetachedThread)) {}

void BatchRunner::Destroy() {}

double BatchRunner::RunBatch(WorkerRoutine worker, int bound, int count) {
  const auto start = Clock::now();
  // Below 1 the run would wait for ever after its first start; far above 64 the
  // extra threads would only queue for the query lock.
  bound = ClampBound(bound);
  paused_ = 0;
  stop_requested_ = 0;
  // A wider counter, so that a count of INT_MAX cannot overflow it.
  for (long long i = 1; i <= count; ++i) {
    if (stop_requested_.load() != 0 || IsShuttingDown()) break;
    if (!StartWorker(worker, static_cast<int>(i)) && IsShuttingDown()) break;
    while (running_count_.load() >= bound || (paused_.load() != 0 && stop_requested_.load() == 0)) {
      if (IsShuttingDown()) break;
      pump_.TrimWorkingSet();
      pump_.PumpingWait(kPollMicroseconds);
    }
    pump_.PumpingWait(kPollMicroseconds);
  }
  pump_.TrimWorkingSet();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool BatchRunner::StartWorker(const WorkerRoutine& worker, int row_number) {
  for (int tries = 1;; ++tries) {
    // Counted before the start, so the worker's own WorkerFinished can never take
    // the count below zero; a start that fails takes its count back.
    running_count_.fetch_add(1);
    if (starter_([worker, row_number] { worker(row_number); })) return true;
    running_count_.fetch_sub(1);
    if (tries >= kMaxStartTries || IsShuttingDown()) return false;
    WaitBeforeRetry();
  }
}

void BatchRunner::WaitBeforeRetry() {
  // Threads are usually short only while many are running; one finishing frees
  // what the failed start lacked. With none running, give the system a moment.
  const std::uint64_t finished_before = finished_total_.load();
  auto idle_since = Clock::now();
  while (!IsShuttingDown() && finished_total_.load() == finished_before) {
    const auto now = Clock::now();
    if (running_count_.load() > 0) {
      idle_since = now;
    } else if (now - idle_since >= kIdleRetryDelay) {
      return;
    }
    pump_.PumpingWait(1000);
  }
}

void BatchRunner::PauseBatch() { paused_ = 1; }

void BatchRunner::ResumeBatch() { paused_ = 0; }

void BatchRunner::StopBatch() { stop_requested_ = 1; }

void BatchRunner::WorkerFinished() {
  finishing_.fetch_add(1);
  finished_total_.fetch_add(1);
  running_count_.fetch_sub(1);
  // Ends the runner's bound wait at once instead of at its next poll.
  pump_.WakeUp();
  // Last touch of the runner: WaitForAllWorkers lets its owner go only after this.
  finishing_.fetch_sub(1);
}

void BatchRunner::Shutdown() {
  shutting_down_ = true;
  pump_.WakeUp();
}

bool BatchRunner::IsShuttingDown() const { return shutting_down_.load(); }

void BatchRunner::WaitForAllWorkers() {
  while (running_count_.load() > 0 || finishing_.load() > 0) {
    pump_.PumpingWait(kPollMicroseconds);
  }
}

}  // namespace kelvaro
