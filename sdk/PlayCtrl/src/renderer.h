#pragma once
// Shows pictures in a window through the display surfaces.
#include <functional>
#include <memory>

#include "picture.h"
#include "plat/paint.h"
#include "plat/surface.h"

namespace playctrl {

class Renderer {
 public:
  explicit Renderer(plat::WindowHandle window) : window_(window) {}
  // Converts into a back surface of the display's format; false when the window is gone or
  // a surface step fails (it is set up again on the next picture).
  bool convert(const Picture& p);
  // Lets `paint` draw into the converted picture (a draw callback's device context).
  void paint(const std::function<void(plat::PaintContext&)>& paint);
  // Presents the converted picture to the window.
  bool present();
  plat::WindowHandle window() const { return window_; }

 private:
  bool setUp(int width, int height);
  plat::WindowHandle window_;
  std::shared_ptr<plat::Display> display_;
  std::shared_ptr<plat::PrimarySurface> primary_;
  std::shared_ptr<plat::BackSurface> back_;
};

}  // namespace playctrl
