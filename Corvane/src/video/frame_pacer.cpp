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
