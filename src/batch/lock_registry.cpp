#include "batch/lock_registry.h"

namespace kelvaro {

struct LockRegistry::Lock {
  std::recursive_mutex mutex;
};

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

ScopedLock::ScopedLock(LockRegistry& registry, int handle) : lock_(registry.Acquire(handle)) {}

ScopedLock::~ScopedLock() { LockRegistry::Unlock(lock_); }

}  // namespace kelvaro
