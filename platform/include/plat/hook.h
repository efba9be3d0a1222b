#pragma once
// A callback slot shared between the thread that sets it and the threads that call it.
// The function (with whatever user value it captures) is stored as one unit, so a caller
// never sees a new function with an old user value. Calls run with no lock held. Replacing
// or clearing the function waits until calls of the old one on other threads have returned,
// so the owner may free what the old one used as soon as set() returns; from inside a call
// (the callback replacing itself) it does not wait, and the running call finishes with the
// function it began with.
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace plat {

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
    const auto self = std::this_thread::get_id();
    idle_.wait(lock, [&] {
      return std::all_of(callers_.begin(), callers_.end(),
                         [&](std::thread::id t) { return t == self; });
    });
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
    std::shared_ptr<const Fn> fn;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (!fn_) return false;
      fn = fn_;
      callers_.push_back(std::this_thread::get_id());
    }
    struct Leave {
      Hook* hook;
      ~Leave() {
        {
          std::lock_guard<std::mutex> lock(hook->mu_);
          auto it = std::find(hook->callers_.begin(), hook->callers_.end(),
                              std::this_thread::get_id());
          if (it != hook->callers_.end()) hook->callers_.erase(it);
        }
        hook->idle_.notify_all();
      }
    } leave{this};
    (*fn)(std::forward<Args>(args)...);
    return true;
  }

 private:
  mutable std::mutex mu_;
  std::condition_variable idle_;
  std::shared_ptr<const Fn> fn_;
  std::vector<std::thread::id> callers_;  // threads inside a call, once per call
};

}  // namespace plat
