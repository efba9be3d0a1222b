#pragma once
// The statistics line of a displayed stream: frames and bytes counted in windows of 1,000 ms
// of the tick count, shown as "%dx%d, %d fps, %.2f kbps".
#include <cstdint>

namespace corvane {

class VideoPlayer;

class FrameStats {
 public:
  static constexpr uint32_t kWindowMs = 1000;
  static constexpr int kLineMax = 128;
  // Counts one frame of `bytes` at the tick count `now`. When a window has passed, returns
  // the closed window's line for a picture of width x height; otherwise null.
  const char* count(int width, int height, uint32_t bytes, uint32_t now);
  // The same for a frame `player` decoded: a closed window's line goes to the player to show.
  void count(VideoPlayer& player, uint32_t bytes, uint32_t now);

 private:
  bool started_ = false;
  uint32_t windowStart_ = 0;
  int frames_ = 0;
  uint64_t bytes_ = 0;
  char line_[kLineMax] = {};
};

}  // namespace corvane
