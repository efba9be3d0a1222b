#pragma once
// Shows pictures in a window through the display surfaces.
#include <memory>

#include "picture.h"
#include "plat/surface.h"

namespace playctrl {

class Renderer {
 public:
  explicit Renderer(plat::WindowHandle window) : window_(window) {}
  // Converts into a back surface of the display's format and presents it; false when the
  // window is gone or a surface step fails (it is set up again on the next picture).
  bool present(const Picture& p);
  plat::WindowHandle window() const { return window_; }

 private:
  bool setUp(int width, int height);
  plat::WindowHandle window_;
  std::shared_ptr<plat::Display> display_;
  std::shared_ptr<plat::PrimarySurface> primary_;
  std::shared_ptr<plat::BackSurface> back_;
};

}  // namespace playctrl
