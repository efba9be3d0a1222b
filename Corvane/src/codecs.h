#pragma once
// Video codec numbers as the live and playback frame headers carry them; the player, the
// recorder and the streams all read these.
namespace corvane {

inline constexpr int kCodecMjpeg = 0;
inline constexpr int kCodecMpeg4 = 1;
inline constexpr int kCodecH264 = 2;

}  // namespace corvane
