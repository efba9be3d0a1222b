#pragma once
// A periodic high-resolution timer (in place of multimedia timers): calls the callback on
// its own thread every period until stopped. The period is a product duration (scaled).
#include <cstdint>
#include <functional>
#include <memory>

namespace plat {

class PeriodicTimer {
 public:
  PeriodicTimer();
  ~PeriodicTimer();  // stops
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;
  bool start(int periodMs, std::function<void()> callback);
  // Changes the period of a running timer (takes effect from the next tick).
  void setPeriod(int periodMs);
  // Returns after the callback has finished its last call; safe from the callback itself.
  void stop();
  bool running() const;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace plat
