#pragma once
// A periodic high-resolution timer (in place of multimedia timers): calls the callback on
// its own thread every period until stopped. The period is a product duration (scaled).
#include <cstdint>
#include <functional>
#include <memory>

namespace plat {

// What the timer device offers: the finest and the coarsest period it keeps, in milliseconds.
struct TimerCaps {
  int periodMin = 0;
  int periodMax = 0;
};
bool timerCaps(TimerCaps* out);
// A resolution the caller's timers need, from begin to the matching end; false (and nothing
// begun) for a period outside the device's capabilities. Timers here already wake within a
// fraction of a millisecond, so a begun period changes nothing but is kept count of.
bool beginTimerPeriod(int periodMs);
bool endTimerPeriod(int periodMs);
// Periods begun and not ended yet, in the whole process.
int timerPeriodsBegun();

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
