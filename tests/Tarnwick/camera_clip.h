#pragma once
// The camera emulator's live frames made of a generated clip (H.264, codec 2).
#include <vector>

#include "camemu/media.h"
#include "clipgen/clipgen.h"

namespace harness {

inline std::vector<camemu::MediaFrame> CameraFrames(const clipgen::Clip& clip) {
  std::vector<camemu::MediaFrame> frames;
  for (size_t i = 0; i < clip.frames.size(); ++i) {
    camemu::MediaFrame f;
    f.data = clip.frameBytes(i);
    f.codec = 2;
    f.key = clip.frames[i].key;
    f.width = static_cast<uint16_t>(clip.width);
    f.height = static_cast<uint16_t>(clip.height);
    frames.push_back(std::move(f));
  }
  return frames;
}

}  // namespace harness
