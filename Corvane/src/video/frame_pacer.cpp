#include "video/frame_pacer.h"

#include <algorithm>

namespace corvane {

FramePacer::FramePacer() {
  plat::TimerCaps caps;
  if (plat::timerCaps(&caps)) {
    resolution_ = std::min(std::max(caps.periodMin, 1), caps.periodMax);
    if (!plat::beginTimerPeriod(resolution_)) resolution_ = 0;
  }
}

FramePacer::~FramePacer() {
  stop();
  if (resolution_ > 0) plat::endTimerPeriod(resolution_);
}

void FramePacer::setCallback(Callback callback, void* user) {
  callback_ = callback;
  user_ = user;
}

bool FramePacer::start() {
  if (!callback_ || running_) return false;
  const Callback callback = callback_;
  void* const user = user_;
  if (!timer_.start(period_, [callback, user] { callback(user); })) return false;
  running_ = true;
  return true;
}

void FramePacer::stop() {
  timer_.stop();
  running_ = false;
}

bool FramePacer::step(int delta) {
  period_ = std::clamp(period_.load(), lower_, upper_);
  const int next = period_ + delta;
  if (next < kMinPeriod || next > kMaxPeriod) return false;
  period_ = next;
  if (running_) {
    stop();
    start();
  }
  return true;
}

bool FramePacer::faster() { return step(-1); }
bool FramePacer::slower() { return step(+1); }

void FramePacer::adapt(int readyCount) {
  if (readyCount >= kFullReady) {
    if (++fullTicks_ > kFullTicks) {
      faster();
      fullTicks_ = 0;
    }
  } else {
    fullTicks_ = 0;
  }
  if (readyCount <= kLowReady) {
    if (++lowTicks_ > kLowTicks) {
      slower();
      lowTicks_ = 0;
    }
  } else {
    lowTicks_ = 0;
  }
}

}  // namespace corvane
