#pragma once
// The rhythm of a live stream's render thread: a periodic timer whose only work is to give
// that thread its tick (posting the render-tick message, or as the thread's own timer), and
// the period adapted to how full the picture pool runs.
#include <cstdint>
#include <functional>

#include "plat/hrtimer.h"
#include "plat/msgthread.h"

namespace corvane {

inline constexpr uint32_t kRenderTickMessage = 0x403;
// The render thread's own pacing timer (WM_TIMER id).
inline constexpr uintptr_t kRenderTimerId = 0x403;

class FramePacer {
 public:
  static constexpr int kInitialPeriod = 35;
  static constexpr int kMinPeriod = 10;
  static constexpr int kMaxPeriod = 60;
  // Ready-picture counts and tick counts of the adaptation.
  static constexpr int kFullReady = 5;
  static constexpr int kFullTicks = 150;
  static constexpr int kLowReady = 3;
  static constexpr int kLowTicks = 50;

  FramePacer();
  virtual ~FramePacer();
  FramePacer(const FramePacer&) = delete;
  FramePacer& operator=(const FramePacer&) = delete;

  // One step down (period - 1) or up (period + 1); false, period unchanged, at the bound.
  virtual bool faster();
  virtual bool slower();

  void setCallback(std::function<void()> callback);
  // The usual callback: post the render tick into the render thread's queue.
  void postTicksTo(plat::ThreadId renderThread);
  // Instead of a callback: the thread that starts the pacer gets its ticks as WM_TIMER
  // messages `timerId` of its own queue, with no timer thread between (start, steps and
  // stop then happen on that thread).
  void tickOnStartingThread(uintptr_t timerId);
  bool start();
  void stop();

  // Called by the render thread after it took a picture, with the pictures still ready.
  void adapt(int readyCount);

  int period() const { return period_; }
  bool running() const { return running_; }
  int resolution() const { return resolution_; }
  // For a caller that moves the period by hand (it is brought back into bounds on the
  // next step).
  void setPeriodUnchecked(int period) { period_ = period; }

 private:
  bool step(int delta);

  int period_ = kInitialPeriod;
  int upper_ = kMaxPeriod;
  int lower_ = kMinPeriod;
  bool running_ = false;
  int resolution_ = 1;
  int fullTicks_ = 0;
  int lowTicks_ = 0;
  std::function<void()> callback_;
  plat::PeriodicTimer timer_;
  uintptr_t threadTimerId_ = 0;  // non-zero: ticks from the starting thread's own queue
  plat::ThreadId tickThread_ = 0;
};

}  // namespace corvane
