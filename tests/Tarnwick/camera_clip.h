#pragma once
// The camera emulator's live frames made of a generated clip (H.264, codec 2), and reading
// back which frame of the clip a play window shows.
#include <vector>

#include "camemu/media.h"
#include "clipgen/clipgen.h"
#include "plat/surface.h"
#include "plat/window.h"
#include "support/ShownFrame.h"

namespace harness {

// Frames [from, to) of the clip.
inline std::vector<camemu::MediaFrame> CameraFrames(const clipgen::Clip& clip, size_t from, size_t to) {
  std::vector<camemu::MediaFrame> frames;
  for (size_t i = from; i < to && i < clip.frames.size(); ++i) {
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

inline std::vector<camemu::MediaFrame> CameraFrames(const clipgen::Clip& clip) {
  return CameraFrames(clip, 0, clip.frames.size());
}

// The frame number carried by the window's last picture; -1 when it has none.
inline int WindowFrameNumber(plat::WindowHandle wnd) { return testsupport::ShownFrameNumber(wnd); }

}  // namespace harness
