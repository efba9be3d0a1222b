#include "plat/event.h"

#include "plat/clock.h"

namespace plat {

Event::Event(bool manualReset, bool initiallySet) : manual_(manualReset), set_(initiallySet) {}

void Event::set() {
  {
    std::lock_guard<std::mutex> lk(mutex_);
    set_ = true;
  }
  if (manual_)
    cv_.notify_all();
  else
    cv_.notify_one();
}

void Event::reset() {
  std::lock_guard<std::mutex> lk(mutex_);
  set_ = false;
}

bool Event::isSet() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return set_;
}

bool Event::wait(int productMs) {
  std::unique_lock<std::mutex> lk(mutex_);
  if (productMs < 0) {
    cv_.wait(lk, [&] { return set_; });
  } else if (!cv_.wait_for(lk, scaledDuration(productMs), [&] { return set_; })) {
    return false;
  }
  if (!manual_) set_ = false;
  return true;
}

}  // namespace plat
