#pragma once
// Waits of the tests are bounded in real time, apart from the product's time scale: a test
// that shrinks the product's time-outs still gives a busy machine its time to answer.
#include <chrono>
#include <functional>
#include <thread>

#include "plat/clock.h"

namespace testsupport {

constexpr int kPatienceMs = 30000;

// Polls `done` every few milliseconds until it holds or `realMs` have passed; the last answer.
inline bool Eventually(const std::function<bool()>& done, int realMs = kPatienceMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

inline std::chrono::milliseconds Patience() { return std::chrono::milliseconds(kPatienceMs); }

// A product duration that lasts `realMs` of real time at the current time scale: for a test's
// own waits through functions that take product time (socket waits, say).
inline int ProductMsLasting(int realMs = kPatienceMs) {
  const double scale = plat::timeScale();
  return scale > 0 ? static_cast<int>(realMs / scale) : realMs;
}

}  // namespace testsupport
