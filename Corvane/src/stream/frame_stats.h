#pragma once
// The statistics line of a displayed stream: frames and bytes counted in windows of 1,000 ms
// of the tick count, shown as "%dx%d, %d fps, %.2f kbps".
#include <cstdint>

namespace corvane {

class VideoPlayer;

class FrameStats {
 public:
  static constexpr uint32_t kWindowMs = 1000;
  // Counts one frame; when a window has passed, gives the line of the closed window to the
  // player. `now` is the tick count.
  void count(VideoPlayer& player, uint32_t bytes, uint32_t now);

 private:
  bool started_ = false;
  uint32_t windowStart_ = 0;
  int frames_ = 0;
  uint64_t bytes_ = 0;
};

}  // namespace corvane
