#pragma once
// Manual- and auto-reset events with bounded waits.
#include <condition_variable>
#include <mutex>

namespace plat {

constexpr int kInfinite = -1;

class Event {
 public:
  Event(bool manualReset, bool initiallySet);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  void reset();
  // Waits up to productMs (scaled; kInfinite waits forever). True when the event was set;
  // an auto-reset event is consumed by the waiter that sees it.
  bool wait(int productMs);
  bool isSet() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool manual_;
  bool set_;
};

}  // namespace plat
