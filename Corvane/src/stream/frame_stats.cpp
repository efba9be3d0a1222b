#include "stream/frame_stats.h"

#include <cstdio>

#include "video/video_player.h"

namespace corvane {

const char* FrameStats::count(int width, int height, uint32_t bytes, uint32_t now) {
  if (!started_) {
    started_ = true;
    windowStart_ = now;
  }
  const char* closed = nullptr;
  if (now - windowStart_ >= kWindowMs) {
    std::snprintf(line_, sizeof line_, "%dx%d, %d fps, %.2f kbps", width, height, frames_,
                  static_cast<double>(bytes_) * 8 * 0.001);
    closed = line_;
    // The next window starts one window after the last, also after a gap, and counts this
    // frame.
    windowStart_ += kWindowMs;
    frames_ = 0;
    bytes_ = 0;
  }
  ++frames_;
  bytes_ += bytes;
  return closed;
}

void FrameStats::count(VideoPlayer& player, uint32_t bytes, uint32_t now) {
  if (const char* line = count(player.pictureWidth(), player.pictureHeight(), bytes, now))
    player.SetOsdText(line);
}

}  // namespace corvane
