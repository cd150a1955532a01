#include "batch/lock_registry.h"

#include <atomic>
#include <vector>

namespace kelvaro {

struct LockRegistry::Lock {
  std::recursive_mutex mutex;
};

namespace {

std::atomic<std::uint64_t> next_serial{1};

// Locks this thread took through TakeLock, newest last. Each entry keeps its lock
// alive, so a release after the handle's deletion still unlocks the right mutex.
struct HeldLock {
  std::uint64_t registry;
  int handle;
  LockRegistry::LockPtr lock;
};

// A thread that ends still holding locks gives them up, so that nobody waits for
// ever on it and no mutex is destroyed while locked.
struct HeldLocks {
  std::vector<HeldLock> list;
  ~HeldLocks() {
    for (auto it = list.rbegin(); it != list.rend(); ++it) LockRegistry::Unlock(it->lock);
  }
};

std::vector<HeldLock>& HeldByThisThread() {
  thread_local HeldLocks held;
  return held.list;
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
  if (lock) HeldByThisThread().push_back({serial_, handle, std::move(lock)});
}

void LockRegistry::ReleaseLock(int handle) {
  auto& held = HeldByThisThread();
  for (auto it = held.rbegin(); it != held.rend(); ++it) {
    if (it->registry == serial_ && it->handle == handle) {
      LockPtr lock = std::move(it->lock);
      held.erase(std::next(it).base());
      Unlock(lock);
      return;
    }
  }
}

ScopedLock::ScopedLock(LockRegistry& registry, int handle) : lock_(registry.Acquire(handle)) {}

ScopedLock::~ScopedLock() { LockRegistry::Unlock(lock_); }

}  // namespace kelvaro
