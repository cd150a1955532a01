#include "batch/lock_registry.h"

#include <atomic>
#include <thread>
#include <unordered_map>
#include <vector>

namespace kelvaro {

struct LockRegistry::Lock {
  std::recursive_mutex mutex;
};

namespace {

std::atomic<std::uint64_t> next_serial{1};

// Locks each thread took through TakeLock, newest last. Each entry keeps its lock
// alive, so a release after the handle's deletion still unlocks the right mutex.
struct HeldLock {
  std::uint64_t registry;
  int handle;
  LockRegistry::LockPtr lock;
};

// The lists live outside thread-local storage: with mingw-w64's emulated TLS a
// thread_local object's storage may already be freed when its destructor runs.
std::mutex held_mutex;
std::unordered_map<std::thread::id, std::vector<HeldLock>>& HeldByThread() {
  static auto* held = new std::unordered_map<std::thread::id, std::vector<HeldLock>>();
  return *held;
}

// A thread that ends still holding locks gives them up, so that nobody waits for ever
// on it and no mutex is destroyed while locked. Reads nothing of its own storage.
struct ReleaseAtThreadExit {
  ~ReleaseAtThreadExit() {
    std::vector<HeldLock> list;
    {
      std::lock_guard guard(held_mutex);
      auto& held = HeldByThread();
      const auto it = held.find(std::this_thread::get_id());
      if (it == held.end()) return;
      list = std::move(it->second);
      held.erase(it);
    }
    for (auto it = list.rbegin(); it != list.rend(); ++it) LockRegistry::Unlock(it->lock);
  }
};

void RememberHeld(HeldLock entry) {
  thread_local ReleaseAtThreadExit release_at_exit;
  std::lock_guard guard(held_mutex);
  HeldByThread()[std::this_thread::get_id()].push_back(std::move(entry));
}

// This thread's newest hold of the handle, taken off its list; null when it holds none.
LockRegistry::LockPtr ForgetHeld(std::uint64_t registry, int handle) {
  std::lock_guard guard(held_mutex);
  auto& held = HeldByThread();
  const auto found = held.find(std::this_thread::get_id());
  if (found == held.end()) return nullptr;
  auto& list = found->second;
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    if (it->registry == registry && it->handle == handle) {
      LockRegistry::LockPtr lock = std::move(it->lock);
      list.erase(std::next(it).base());
      if (list.empty()) held.erase(found);
      return lock;
    }
  }
  return nullptr;
}

}  // namespace

LockRegistry::LockRegistry() : serial_(next_serial.fetch_add(1)) {}

LockRegistry::~LockRegistry() = default;

int LockRegistry::CreateLock() {
  std::lock_guard guard(mutex_);
  const int handle = next_handle_;
  // Handles are never reused, so a stale handle can never reach a newer lock.
  if (next_handle_ < INT32_MAX) ++next_handle_;
  locks_[handle] = std::make_shared<Lock>();
  return handle;
}

bool LockRegistry::DeleteLock(int handle) {
  std::lock_guard guard(mutex_);
  return locks_.erase(handle) > 0;
}

bool LockRegistry::IsLive(int handle) {
  std::lock_guard guard(mutex_);
  return locks_.count(handle) > 0;
}

LockRegistry::LockPtr LockRegistry::Find(int handle) {
  std::lock_guard guard(mutex_);
  const auto it = locks_.find(handle);
  return it == locks_.end() ? nullptr : it->second;
}

LockRegistry::LockPtr LockRegistry::Acquire(int handle) {
  LockPtr lock = Find(handle);
  // Waited for outside the registry's own mutex; our copy keeps it alive.
  if (lock) lock->mutex.lock();
  return lock;
}

void LockRegistry::Unlock(const LockPtr& lock) {
  if (lock) lock->mutex.unlock();
}

void LockRegistry::TakeLock(int handle) {
  LockPtr lock = Acquire(handle);
  if (lock) RememberHeld({serial_, handle, std::move(lock)});
}

void LockRegistry::ReleaseLock(int handle) { Unlock(ForgetHeld(serial_, handle)); }

ScopedLock::ScopedLock(LockRegistry& registry, int handle) : lock_(registry.Acquire(handle)) {}

ScopedLock::~ScopedLock() { LockRegistry::Unlock(lock_); }

}  // namespace kelvaro
