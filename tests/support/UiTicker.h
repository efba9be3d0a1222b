#pragma once
// The longest pause of the UI thread: a 10 ms timer on it notes the longest time between two
// of its ticks, counting the time since the last tick too, so a thread still stuck when the
// watched stretch ends is seen as well.
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace testsupport {

class UiTicker {
 public:
  UiTicker() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const auto now = std::chrono::steady_clock::now();
      longest_ = std::max(longest_, now - last_);
      last_ = now;
    });
    last_ = std::chrono::steady_clock::now();
    timer_.start(10);
  }
  int LongestMs() const {
    const auto tail = std::chrono::steady_clock::now() - last_;
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(std::max(longest_, tail)).count());
  }

 private:
  QTimer timer_;
  std::chrono::steady_clock::time_point last_;
  std::chrono::steady_clock::duration longest_{};
};

}  // namespace testsupport
