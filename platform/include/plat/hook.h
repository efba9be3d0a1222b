#pragma once
// Callbacks shared between the thread that sets them and the threads that call them.
// Calls run with no lock held. Replacing or clearing a callback waits until calls of the old
// one on other threads have returned, so the owner may free what the old one used as soon as
// the setter returns; from inside a call (a callback replacing itself) it does not wait, and
// the running call finishes with the function it began with.
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace plat {

// The calls in progress of a callback kept under its owner's mutex: every method is called
// with that mutex held (waitIdle with it in the lock it waits on).
class HookCalls {
 public:
  void enter() { callers_.push_back(std::this_thread::get_id()); }
  void leave() {
    auto it = std::find(callers_.begin(), callers_.end(), std::this_thread::get_id());
    if (it != callers_.end()) callers_.erase(it);
    idle_.notify_all();
  }
  // Returns once no other thread is inside a call.
  void waitIdle(std::unique_lock<std::mutex>& lock) {
    const auto self = std::this_thread::get_id();
    idle_.wait(lock, [&] {
      return std::all_of(callers_.begin(), callers_.end(),
                         [&](std::thread::id t) { return t == self; });
    });
  }
  // Runs call() unlocked, counted as a call in progress; lock is held before and after.
  template <typename F>
  void run(std::unique_lock<std::mutex>& lock, F&& call) {
    enter();
    lock.unlock();
    struct Relock {
      HookCalls* calls;
      std::unique_lock<std::mutex>& lock;
      ~Relock() {
        lock.lock();
        calls->leave();
      }
    } relock{this, lock};
    call();
  }

 private:
  std::condition_variable idle_;
  std::vector<std::thread::id> callers_;  // one entry per call in progress
};

// One callback (with whatever user value it captures, stored as one unit so a caller never
// sees a new function with an old user value).
template <typename Fn>
class Hook {
 public:
  Hook() = default;
  Hook(const Hook&) = delete;
  Hook& operator=(const Hook&) = delete;

  void set(Fn fn) {
    std::shared_ptr<const Fn> old;
    std::unique_lock<std::mutex> lock(mu_);
    old = std::move(fn_);
    if (fn) fn_ = std::make_shared<const Fn>(std::move(fn));
    calls_.waitIdle(lock);
    lock.unlock();
    // old is released here, outside the lock.
  }
  void clear() { set(Fn()); }

  bool isSet() const {
    std::lock_guard<std::mutex> lock(mu_);
    return fn_ != nullptr;
  }

  // Calls the function when one is set; false when none is.
  template <typename... Args>
  bool call(Args&&... args) {
    std::unique_lock<std::mutex> lock(mu_);
    if (!fn_) return false;
    std::shared_ptr<const Fn> fn = fn_;
    calls_.run(lock, [&] { (*fn)(std::forward<Args>(args)...); });
    return true;
  }

 private:
  mutable std::mutex mu_;
  HookCalls calls_;
  std::shared_ptr<const Fn> fn_;
};

}  // namespace plat
