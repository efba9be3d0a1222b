#pragma once
// Shows pictures of a local file in a window through the display surfaces, stretched over
// the window's client area, and keeps nothing else.
#include <cstdint>
#include <memory>
#include <mutex>

#include "localplay/Picture.h"
#include "plat/surface.h"

namespace hollin::localplay {

// The picture's pixels as 0x00RRGGBB, top row first (BT.601, limited range).
void ToRgb(const Picture& p, uint32_t* rgb);

class PictureRenderer {
 public:
  explicit PictureRenderer(plat::WindowHandle window) : window_(window) {}
  // False when there is no window, the window is gone or a surface step fails (set up again
  // on the next picture).
  bool Present(const Picture& p);

 private:
  bool SetUp(int width, int height);
  std::mutex mutex_;
  plat::WindowHandle window_;
  std::shared_ptr<plat::Display> display_;
  std::shared_ptr<plat::PrimarySurface> primary_;
  std::shared_ptr<plat::BackSurface> back_;
};

}  // namespace hollin::localplay
