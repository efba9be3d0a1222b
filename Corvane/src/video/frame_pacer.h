#pragma once
// The rhythm at which a live stream shows its pictures: the newest picture wins. A picture
// is shown as soon as it is decoded, at least half a frame interval after the one before
// (so a burst of pictures is spread for the window to paint each), and a picture with more
// waiting behind it than a small jitter allowance is dropped at once rather than shown late.
#include <algorithm>
#include <cstdint>

#include "video/frame_pool.h"

namespace corvane {

class FramePacer {
 public:
  static constexpr int kInitialPeriod = 35;
  static constexpr int kMinPeriod = 10;
  static constexpr int kMaxPeriod = 60;
  // Pictures that may wait behind the one being shown.
  static constexpr int kJitterPictures = kLiveJitterPictures;
  // Intervals between pictures longer than this are a pause of the stream, not its rate.
  static constexpr uint32_t kLongestInterval = 1000;

  // What to do with the picture in hand at `nowMs`, with `waiting` more ready behind
  // it. `drop` pictures, the one in hand first, go unshown (the backlog beyond the jitter
  // allowance); else the picture is shown after `waitMs` (0: now).
  struct LiveStep {
    int drop = 0;
    int waitMs = 0;
  };
  LiveStep liveStep(int64_t nowMs, int waiting) const;
  // A picture of presentation time `pictureMs` was shown at `nowMs`. The period
  // follows the interval between the pictures' times.
  void shown(int64_t nowMs, uint32_t pictureMs);
  // The least time between two pictures shown live.
  int spacing() const { return period_ / 2; }
  // Whether a due picture waits for the window's paint of the one before. A window
  // that let the wait run out is not waited for again until it has painted.
  bool waitsForPaint() const { return waitsForPaint_; }
  void setWaitsForPaint(bool on) { waitsForPaint_ = on; }

  int period() const { return period_; }

 private:
  int period_ = kInitialPeriod;
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
