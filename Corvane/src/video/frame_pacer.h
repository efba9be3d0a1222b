#pragma once
// The rhythm of a live stream's render thread: a periodic timer whose only work is to post
// the render tick to that thread, with a period moved one step at a time, and the
// adaptation of that period to how full the picture pool runs. A pool that keeps filling
// is drawn faster, one that runs low slower, so the stream settles on the camera's rate with
// a few pictures in hand against network jitter.
#include <atomic>
#include <cstdint>

#include "plat/hrtimer.h"

namespace corvane {

inline constexpr uint32_t kRenderTickMessage = 0x403;

class FramePacer {
 public:
  static constexpr int kInitialPeriod = 35;
  static constexpr int kMinPeriod = 10;
  static constexpr int kMaxPeriod = 60;
  // The adaptation: this many pictures still ready for more than that many ticks in a row.
  static constexpr int kFullReady = 5;
  static constexpr int kFullTicks = 150;
  static constexpr int kLowReady = 3;
  static constexpr int kLowTicks = 50;

  using Callback = void (*)(void* user);

  // Chooses the timer resolution from the timer device (its finest period, at least 1 ms,
  // at most its coarsest) and begins a timer period of it.
  FramePacer();
  // Kills the timer and ends the timer period.
  virtual ~FramePacer();
  FramePacer(const FramePacer&) = delete;
  FramePacer& operator=(const FramePacer&) = delete;

  // One step down (period - 1) or up (period + 1), after bringing a period outside the
  // bounds back to the nearer one. A step that would leave 10..60 ms leaves the period and
  // the timer as they are and returns false; a running timer restarts with the new period.
  virtual bool faster();
  virtual bool slower();

  // Called on the timer's thread at every tick; it should do no more than post a message.
  void setCallback(Callback callback, void* user);
  // Starts the periodic timer when a callback is set and it does not run yet.
  bool start();
  void stop();

  // The render thread, after it took a picture, with the pictures still ready.
  void adapt(int readyCount);

  int period() const { return period_; }
  bool running() const { return running_; }
  int resolution() const { return resolution_; }
  // Sets the period without the bounds: the next step brings it back.
  void setPeriodUnchecked(int period) { period_ = period; }

 private:
  bool step(int delta);

  // Read by other threads (a stream's state); changed only by the thread that steps it.
  std::atomic<int> period_{kInitialPeriod};
  int upper_ = kMaxPeriod;
  int lower_ = kMinPeriod;
  std::atomic<bool> running_{false};
  int resolution_ = 0;  // 0: no timer period begun
  Callback callback_ = nullptr;
  void* user_ = nullptr;
  int fullTicks_ = 0;
  int lowTicks_ = 0;
  plat::PeriodicTimer timer_;
};

}  // namespace corvane
