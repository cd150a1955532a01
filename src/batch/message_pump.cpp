#include "batch/message_pump.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <utility>

#include "platform/memory.h"

namespace kelvaro {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTrimInterval = std::chrono::milliseconds(100);
constexpr auto kMinimumWait = std::chrono::milliseconds(1);

// Time of the last trim in steady-clock ticks; the minimum means never.
std::atomic<Clock::rep> last_trim{std::numeric_limits<Clock::rep>::min()};
std::atomic<std::uint64_t> trims{0};

}  // namespace

void TrimProcessMemory() {
  const Clock::rep now = Clock::now().time_since_epoch().count();
  const Clock::rep interval = std::chrono::duration_cast<Clock::duration>(kTrimInterval).count();
  Clock::rep last = last_trim.load();
  // Trimming walks the whole heap, so callers polling every millisecond must
  // not pay for it each time; the compare-exchange lets only one thread through.
  while (last == std::numeric_limits<Clock::rep>::min() || now - last >= interval) {
    if (last_trim.compare_exchange_weak(last, now)) {
      platform::ReturnFreeMemory();
      trims.fetch_add(1);
      return;
    }
  }
}

std::uint64_t ProcessMemoryTrims() { return trims.load(); }

bool StdMessagePump::TakeTaskLocked(std::function<void()>& task) {
  if (tasks_.empty()) return false;
  task = std::move(tasks_.front());
  tasks_.pop_front();
  return true;
}

void StdMessagePump::PumpingWait(int microseconds) {
  const auto asked = std::chrono::microseconds(std::max(microseconds, 0));
  const auto deadline = Clock::now() + std::max<Clock::duration>(asked, kMinimumWait);
  std::unique_lock lock(mutex_);
  for (;;) {
    std::function<void()> task;
    if (TakeTaskLocked(task)) {
      // Tasks run unlocked: they may post, wake or wait (nested) themselves.
      lock.unlock();
      task();
      task = nullptr;
      lock.lock();
      continue;
    }
    if (woken_) {
      woken_ = false;
      return;
    }
    if (Clock::now() >= deadline) return;
    wake_.wait_until(lock, deadline);
  }
}

void StdMessagePump::ProcessPendingMessages() {
  std::unique_lock lock(mutex_);
  std::function<void()> task;
  while (TakeTaskLocked(task)) {
    lock.unlock();
    task();
    task = nullptr;
    lock.lock();
  }
}

void StdMessagePump::TrimWorkingSet() { TrimProcessMemory(); }

void StdMessagePump::WakeUp() {
  std::lock_guard lock(mutex_);
  // Stays set until a wait sees it, so a wake-up just before a wait is not lost.
  woken_ = true;
  wake_.notify_all();
}

void StdMessagePump::Post(std::function<void()> task) {
  if (!task) return;
  std::lock_guard lock(mutex_);
  tasks_.push_back(std::move(task));
  wake_.notify_all();
}

}  // namespace kelvaro
