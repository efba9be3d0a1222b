#include "video/frame_pacer.h"

#include <algorithm>

namespace corvane {

FramePacer::LiveStep FramePacer::liveStep(int64_t nowMs, int waiting) const {
  LiveStep step;
  // The stream's first picture is shown however much follows it (a large key frame holds up
  // the frames behind it): the window has something to show at once.
  if (anyShown_ && waiting > kJitterPictures) {
    // Behind by more than jitter explains: the oldest go at once, and what is left is shown
    // without waiting.
    step.drop = waiting - kJitterPictures;
    return step;
  }
  if (anyShown_) step.waitMs = static_cast<int>(std::max<int64_t>(0, lastShownMs_ + spacing() - nowMs));
  return step;
}

void FramePacer::shown(int64_t nowMs, uint32_t pictureMs) {
  if (anyShown_) {
    const uint32_t interval = pictureMs - lastPictureMs_;
    if (interval > 0 && interval <= kLongestInterval) {
      // Pictures dropped between two shown ones make one long interval: each interval moves
      // the average by at most half or double it, so the rate follows real changes within
      // a few pictures and a drop barely moves it.
      const int average = intervalX8_ / 8;
      const int taken = std::clamp(static_cast<int>(interval), average / 2, average * 2);
      intervalX8_ += taken - average;
      period_ = std::clamp(intervalX8_ / 8, kMinPeriod, kMaxPeriod);
    }
  }
  anyShown_ = true;
  lastShownMs_ = nowMs;
  lastPictureMs_ = pictureMs;
}

}  // namespace corvane
