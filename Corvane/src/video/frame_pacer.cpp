#include "video/frame_pacer.h"

#include <algorithm>

namespace corvane {

// The platform timer ticks at 1 ms resolution, the finest a pacer may use.
FramePacer::FramePacer() = default;

FramePacer::~FramePacer() { stop(); }

void FramePacer::setCallback(std::function<void()> callback) { callback_ = std::move(callback); }

void FramePacer::postTicksTo(plat::ThreadId renderThread) {
  setCallback([renderThread] { plat::postThreadMessage(renderThread, kRenderTickMessage); });
}

void FramePacer::tickOnStartingThread(uintptr_t timerId) { threadTimerId_ = timerId; }

bool FramePacer::start() {
  if (threadTimerId_) {
    if (running_ || !plat::setThreadTimer(threadTimerId_, period_)) return false;
    tickThread_ = plat::currentThreadId();
    running_ = true;
    return true;
  }
  if (!callback_ || running_) return false;
  auto cb = callback_;
  if (!timer_.start(period_, [cb] { cb(); })) return false;
  running_ = true;
  return true;
}

void FramePacer::stop() {
  // A thread's timer is ended by that thread only: another thread's queue may hold a timer
  // of the same id.
  if (threadTimerId_ && running_ && plat::currentThreadId() == tickThread_)
    plat::killThreadTimer(threadTimerId_);
  timer_.stop();
  running_ = false;
}

bool FramePacer::step(int delta) {
  period_ = std::clamp(period_, lower_, upper_);
  int next = period_ + delta;
  if (next < lower_ || next > upper_) return false;
  period_ = next;
  if (running_) {
    timer_.stop();
    running_ = false;
    start();
  }
  return true;
}

bool FramePacer::faster() { return step(-1); }
bool FramePacer::slower() { return step(+1); }

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
      period_ = std::clamp(intervalX8_ / 8, lower_, upper_);
    }
  }
  anyShown_ = true;
  lastShownMs_ = nowMs;
  lastPictureMs_ = pictureMs;
}

}  // namespace corvane
