#pragma once
// Process-wide service objects made on first use: test without the lock, lock, test again,
// create, unlock. Each service type has its own lock. ReleaseInstance runs once at
// shut-down and sets the pointer back to null.
//
//   class CUser { friend class SingletonAccess<CUser>; CUser(); ... };
//   CUser* u = SingletonAccess<CUser>::GetInstance();
#include <atomic>
#include <mutex>

template <class T>
class SingletonAccess {
 public:
  static T* GetInstance() {
    T* p = instance_.load(std::memory_order_acquire);
    if (p) return p;
    std::lock_guard<std::mutex> lk(mutex_);
    p = instance_.load(std::memory_order_relaxed);
    if (!p) {
      p = new T();
      instance_.store(p, std::memory_order_release);
    }
    return p;
  }
  static bool HasInstance() { return instance_.load(std::memory_order_acquire) != nullptr; }
  // The instance or null, never making one: for threads that must not bring a service back
  // while it is being released (the release holds the lock a making would wait for).
  static T* Existing() { return instance_.load(std::memory_order_acquire); }
  static void ReleaseInstance() {
    std::lock_guard<std::mutex> lk(mutex_);
    delete instance_.exchange(nullptr);
  }

 private:
  static inline std::atomic<T*> instance_{nullptr};
  static inline std::mutex mutex_;
};
