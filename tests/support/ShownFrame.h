#pragma once
// Which frame of a generated clip a window shows: its last picture's frame-number blocks,
// read where they landed when the picture was scaled to the window.
#include <cstdint>

#include "clipgen/clipgen.h"
#include "plat/surface.h"
#include "plat/window.h"

namespace testsupport {

// The frame number; -1 when the window has no picture or shows none. `serial`, when given,
// gets the number of pictures presented to the window so far.
inline int ShownFrameNumber(plat::WindowHandle window, uint64_t* serial = nullptr) {
  plat::PresentedFrame f;
  const bool any = plat::presentedFrame(window, &f) && f.width > 0;
  if (serial) *serial = any ? f.serial : 0;
  if (!any) return -1;
  return clipgen::readFrameIndexBgrx(f.bits, f.stride, f.width, f.height, f.pictureWidth, f.pictureHeight);
}

}  // namespace testsupport
