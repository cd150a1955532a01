// The seam for the window thread's waiting: sleep while dispatching what arrives.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace kelvaro {

class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Sleeps max(microseconds, 1 ms) or until woken, dispatching everything that
  // arrives meanwhile. Never spins.
  virtual void PumpingWait(int microseconds) = 0;
  // Dispatches what is waiting; never takes a quit request out of the queue.
  virtual void ProcessPendingMessages() = 0;
  virtual void TrimWorkingSet() = 0;
  // Any thread: ends the current PumpingWait at once.
  virtual void WakeUp() = 0;
};

// Returns the heap to the system; at most once per 100 ms however often it is asked.
void TrimProcessMemory();
// How many times TrimProcessMemory actually returned memory (for tests).
std::uint64_t ProcessMemoryTrims();

// The standard-library pump of the command line and the core's tests: a queue of
// posted tasks stands for the window's messages.
class StdMessagePump : public MessagePump {
 public:
  void PumpingWait(int microseconds) override;
  void ProcessPendingMessages() override;
  void TrimWorkingSet() override;
  void WakeUp() override;

  // Any thread: queue a task that the pumping thread runs during a wait.
  void Post(std::function<void()> task);

 private:
  // Pops the head task unless the queue is empty.
  bool TakeTaskLocked(std::function<void()>& task);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool woken_ = false;
};

}  // namespace kelvaro
