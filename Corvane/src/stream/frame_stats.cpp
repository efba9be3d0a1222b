#include "stream/frame_stats.h"

#include <cstdio>

#include "video/video_player.h"

namespace corvane {

void FrameStats::count(VideoPlayer& player, uint32_t bytes, uint32_t now) {
  if (!started_) {
    started_ = true;
    windowStart_ = now;
  }
  if (now - windowStart_ >= kWindowMs) {
    char text[kStatsTextMax];
    std::snprintf(text, sizeof text, "%dx%d, %d fps, %.2f kbps", player.pictureWidth(),
                  player.pictureHeight(), frames_, static_cast<double>(bytes_) * 8 * 0.001);
    player.SetOsdText(text);
    // The next window starts one window after the last and counts this frame.
    windowStart_ += kWindowMs;
    if (now - windowStart_ >= kWindowMs) windowStart_ = now;
    frames_ = 0;
    bytes_ = 0;
  }
  ++frames_;
  bytes_ += bytes;
}

}  // namespace corvane
