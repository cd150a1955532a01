// Runs a worker once per row number, each call on a detached thread of its own,
// with at most `bound` running; the caller's thread waits through the message pump.
#pragma once

#include <atomic>
#include <functional>

#include "batch/message_pump.h"

namespace kelvaro {

using WorkerRoutine = std::function<int(int row_number)>;
// Starts `body` on a thread of its own; false when the thread could not be made.
using ThreadStarter = std::function<bool(std::function<void()> body)>;

bool StartDetachedThread(std::function<void()> body);

inline constexpr int kMinBound = 1;
inline constexpr int kMaxBound = 64;
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

  std::atomic<int> running_count{0};
  std::atomic<int> paused{0};
  std::atomic<int> stop_requested{0};

 private:
  MessagePump& pump_;
  ThreadStarter starter_;
  std::atomic<bool> shutting_down_{false};
};

}  // namespace kelvaro
