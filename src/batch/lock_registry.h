// Process-local locks by handle. Taking, releasing or deleting a handle that is
// not live does nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace kelvaro {

class LockRegistry {
 public:
  // A lock stays alive while a thread holds it or waits for it, even once deleted.
  struct Lock;
  using LockPtr = std::shared_ptr<Lock>;

  LockRegistry() = default;
  LockRegistry(const LockRegistry&) = delete;
  LockRegistry& operator=(const LockRegistry&) = delete;

  int CreateLock();
  bool DeleteLock(int handle);  // false when the handle is not live
  bool IsLive(int handle);

  // Takes the lock and returns it, or null when the handle is not live. The caller
  // releases exactly that lock with Unlock, whatever happens to the handle. Locks are
  // recursive, like the platform's critical sections.
  LockPtr Acquire(int handle);
  static void Unlock(const LockPtr& lock);

 private:
  LockPtr Find(int handle);

  std::mutex mutex_;
  std::unordered_map<int, LockPtr> locks_;
  int next_handle_ = 1;
};

// Holds a registry lock for a scope; does nothing when the handle is not live.
class ScopedLock {
 public:
  ScopedLock(LockRegistry& registry, int handle);
  ~ScopedLock();
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

  bool Holds() const { return lock_ != nullptr; }

 private:
  LockRegistry::LockPtr lock_;
};

}  // namespace kelvaro
