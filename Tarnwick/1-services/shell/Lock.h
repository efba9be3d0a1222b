#pragma once
// The lock that guards the device list and the preview manager, and its scope guard.
// Re-entrant, as the code holding it calls back into its own guarded operations.
#include <mutex>

class CLock {
 public:
  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};

class CScopedLock {
 public:
  explicit CScopedLock(CLock& lock) : lock_(&lock) { lock_->Lock(); }
  ~CScopedLock() { lock_->Unlock(); }
  CScopedLock(const CScopedLock&) = delete;
  CScopedLock& operator=(const CScopedLock&) = delete;

 private:
  CLock* lock_;
};
