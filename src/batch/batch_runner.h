// Runs a worker once per row number, each call on a detached thread of its own,
// with at most `bound` running; the caller's thread waits through the message pump.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "batch/message_pump.h"

namespace kelvaro {

using WorkerRoutine = std::function<int(int row_number)>;
// Starts `body` on a thread of its own; false when the thread could not be made.
using ThreadStarter = std::function<bool(std::function<void()> body)>;

bool StartDetachedThread(std::function<void()> body);

inline constexpr int kMinBound = 1;
inline constexpr int kMaxBound = 64;
// A row whose thread cannot be started is tried this many times before it is left.
inline constexpr int kMaxStartTries = 20;
int ClampBound(int bound);

class BatchRunner {
 public:
  explicit BatchRunner(MessagePump& pump, ThreadStarter starter = StartDetachedThread);
  virtual ~BatchRunner() = default;

  virtual void Destroy();
  virtual double RunBatch(WorkerRoutine worker, int bound, int count);
  virtual void PauseBatch();
  virtual void ResumeBatch();
  virtual void StopBatch();
  virtual void WorkerFinished();

  // Shutdown: no run starts another worker from now on, whatever RunBatch resets.
  void Shutdown();
  bool IsShuttingDown() const;
  // Pumps until every worker of every run has called WorkerFinished.
  void WaitForAllWorkers();

  int RunningCount() const { return running_count_.load(); }
  bool StopRequested() const { return stop_requested_.load() != 0; }
  bool Paused() const { return paused_.load() != 0; }

 private:
  // Starts worker(row_number), trying again after a failure; false when the row is left.
  bool StartWorker(const WorkerRoutine& worker, int row_number);
  // After a failed start: pumps until a running worker finishes, or 50 ms when none runs.
  void WaitBeforeRetry();

  std::atomic<int> running_count_{0};
  std::atomic<int> paused_{0};
  std::atomic<int> stop_requested_{0};
  MessagePump& pump_;
  ThreadStarter starter_;
  std::atomic<bool> shutting_down_{false};
  std::atomic<std::uint64_t> finished_total_{0};  // WorkerFinished calls ever made
  std::atomic<int> finishing_{0};  // workers inside WorkerFinished (see WaitForAllWorkers)
};

}  // namespace kelvaro
