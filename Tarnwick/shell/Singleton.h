#pragma once
// Process-wide service objects made on first use: test without the lock, lock, test again,
// create, unlock. Each service type has its own lock. ReleaseInstance runs at shut-down and
// sets the pointer back to null; from then on a GetInstance is a fault (something outlived
// the shut-down) that is reported, until Renew says a new start may make the service again.
//
//   class CUser { friend class SingletonAccess<CUser>; CUser(); ... };
//   CUser* u = SingletonAccess<CUser>::GetInstance();
#include <atomic>
#include <mutex>
#include <typeinfo>

// Reports a service asked for after its release: logged as an error, and an assertion in
// debug builds unless a handler was set (the test programs fail the running test).
void ReportServiceUsedAfterRelease(const char* type);
using ServiceMisuseHandler = void (*)(const char* type);
void SetServiceMisuseHandler(ServiceMisuseHandler handler);

template <class T>
class SingletonAccess {
 public:
  static T* GetInstance() {
    T* p = instance_.load(std::memory_order_acquire);
    if (p) return p;
    std::lock_guard<std::mutex> lk(mutex_);
    p = instance_.load(std::memory_order_relaxed);
    if (!p) {
      // The program goes on with a fresh object, as it always did; the report makes it show.
      if (released_.load(std::memory_order_relaxed)) ReportServiceUsedAfterRelease(typeid(T).name());
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
    released_.store(true, std::memory_order_relaxed);
    delete instance_.exchange(nullptr);
  }
  // A new start of the system: the next GetInstance makes the service again.
  static void Renew() {
    std::lock_guard<std::mutex> lk(mutex_);
    released_.store(false, std::memory_order_relaxed);
  }

 private:
  static inline std::atomic<T*> instance_{nullptr};
  static inline std::atomic<bool> released_{false};
  static inline std::mutex mutex_;
};
