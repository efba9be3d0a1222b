#pragma once
// Shows pictures in a window through the display surfaces, made at the size the window
// shows them: the planes are scaled to the window's client area before the colour
// conversion. A port with a draw routine gets the picture at its own size instead, so the
// routine draws in picture pixels as it always has.
#include <functional>
#include <memory>

#include "picture.h"
#include "plat/paint.h"
#include "plat/picture_scale.h"
#include "plat/surface.h"

namespace streamplay {

class Renderer {
 public:
  explicit Renderer(plat::WindowHandle window) : window_(window) {}
  // Converts into a back surface of the display's format, of the window's size or, with
  // `pictureSize`, of the picture's; false when the window is gone or a surface step fails
  // (it is set up again on the next picture).
  bool convert(const Picture& p, bool pictureSize = false);
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
  plat::PictureScaler scaler_;
};

}  // namespace streamplay
