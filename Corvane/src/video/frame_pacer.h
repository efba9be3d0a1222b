#pragma once
// The rhythm at which a stream shows its pictures. A periodic timer whose only work is to give
// a thread its tick (posting the render-tick message, or as the thread's own timer), with the
// period moved a step at a time; and the live rhythm, where the newest picture wins: a
// picture is shown as soon as it is decoded, at least half a frame interval after the one
// before (so a burst of pictures is spread for the window to paint each), and a picture with
// more waiting behind it than a small jitter allowance is dropped at once rather than shown
// late.
#include <algorithm>
#include <cstdint>
#include <functional>

#include "plat/hrtimer.h"
#include "plat/msgthread.h"
#include "video/frame_pool.h"

namespace corvane {

inline constexpr uint32_t kRenderTickMessage = 0x403;
// The render thread's own pacing timer (WM_TIMER id).
inline constexpr uintptr_t kRenderTimerId = 0x403;

class FramePacer {
 public:
  static constexpr int kInitialPeriod = 35;
  static constexpr int kMinPeriod = 10;
  static constexpr int kMaxPeriod = 60;
  // Pictures that may wait behind the one being shown.
  static constexpr int kJitterPictures = kLiveJitterPictures;
  // Intervals between pictures longer than this are a pause of the stream, not its rate.
  static constexpr uint32_t kLongestInterval = 1000;

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

  // Live: what to do with the picture in hand at `nowMs`, with `waiting` more ready behind
  // it. `drop` pictures, the one in hand first, go unshown (the backlog beyond the jitter
  // allowance); else the picture is shown after `waitMs` (0: now).
  struct LiveStep {
    int drop = 0;
    int waitMs = 0;
  };
  LiveStep liveStep(int64_t nowMs, int waiting) const;
  // Live: a picture of presentation time `pictureMs` was shown at `nowMs`. The period
  // follows the interval between the pictures' times.
  void shown(int64_t nowMs, uint32_t pictureMs);
  // The least time between two pictures shown live.
  int spacing() const { return period_ / 2; }
  // Live: whether a due picture waits for the window's paint of the one before. A window
  // that let the wait run out is not waited for again until it has painted.
  bool waitsForPaint() const { return waitsForPaint_; }
  void setWaitsForPaint(bool on) { waitsForPaint_ = on; }

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
  std::function<void()> callback_;
  plat::PeriodicTimer timer_;
  uintptr_t threadTimerId_ = 0;  // non-zero: ticks from the starting thread's own queue
  plat::ThreadId tickThread_ = 0;
  // Live.
  bool anyShown_ = false;
  int64_t lastShownMs_ = 0;
  uint32_t lastPictureMs_ = 0;
  int intervalX8_ = kInitialPeriod * 8;  // the pictures' interval, averaged, in 1/8 ms
  bool waitsForPaint_ = true;
};

// A live stream's turn with the picture in hand: drops the backlog and waits as the pacer
// says. `turn` gives the time (nowMs), the pictures (or frames) waiting behind the one in
// hand (waiting), lets the one in hand go for a newer one (dropOldest), waits (wait(ms),
// false when the stream stops meanwhile) and waits for the window to paint the picture
// shown before (painted(ms), true once it has). True when the picture in hand is to be
// shown now.
// A picture that is due waits for the paint of the one before, which a busy GUI thread
// may not have made yet (presenting over it would lose it unseen), but no longer than the
// jitter allowance's intervals, nor once the backlog goes beyond the allowance; after a wait
// ran out, not until the window paints again (one that never paints costs one wait).
inline constexpr int kPaintWaitStepMs = 5;
template <typename Turn>
bool paceLive(FramePacer& pacer, Turn& turn) {
  int64_t dueSince = -1;
  for (;;) {
    const FramePacer::LiveStep step = pacer.liveStep(turn.nowMs(), turn.waiting());
    if (step.drop > 0) {
      for (int i = 0; i < step.drop; ++i) turn.dropOldest();
      return true;
    }
    if (step.waitMs > 0) {
      if (!turn.wait(step.waitMs)) return false;
      continue;
    }
    if (!pacer.waitsForPaint()) {
      pacer.setWaitsForPaint(turn.painted(0));
      return true;
    }
    const int64_t now = turn.nowMs();
    if (dueSince < 0) dueSince = now;
    const int64_t left = int64_t{FramePacer::kJitterPictures} * pacer.period() - (now - dueSince);
    if (left <= 0) {
      pacer.setWaitsForPaint(false);
      return true;
    }
    if (turn.painted(static_cast<int>(std::min<int64_t>(left, kPaintWaitStepMs)))) return true;
    if (!turn.wait(0)) return false;
  }
}

}  // namespace corvane
