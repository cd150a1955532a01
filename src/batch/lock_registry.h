// Process-local locks by handle. Taking, releasing or deleting a handle that is
// not live does nothing.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

namespace kelvaro {

class LockRegistry {
 public:
  int CreateLock();
  bool DeleteLock(int handle);  // false when the handle is not live
  bool IsLive(int handle);
  void TakeLock(int handle);
  void ReleaseLock(int handle);

 private:
  struct Lock;
  std::mutex mutex_;
  std::unordered_map<int, std::shared_ptr<Lock>> locks_;
  int next_handle_ = 1;
};

// Holds a registry lock for a scope.
class ScopedLock {
 public:
  ScopedLock(LockRegistry& registry, int handle);
  ~ScopedLock();
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  LockRegistry& registry_;
  int handle_;
};

}  // namespace kelvaro
