#pragma once
// The three OSD icons, 32 x 24 pixels of 0x00RRGGBB, 0xFFFFFF transparent.
#include <cstdint>

namespace corvane {

inline constexpr int kIconWidth = 32;
inline constexpr int kIconHeight = 24;
inline constexpr uint32_t kIconTransparent = 0xFFFFFF;

// Item ids 1 (audio: loudspeaker), 2 (talk: microphone), 64 (recording: camera); null else.
const uint32_t* osdIcon(int itemId);

}  // namespace corvane
