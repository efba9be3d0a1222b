#pragma once
// A play window for the display surfaces: registers a window handle and paints the picture
// last presented to it, scaled to its client area, on the GUI thread.
#include <QWidget>

#include "plat/window.h"

namespace plat {

// No signals or slots of its own: repaints are scheduled with queued calls.
class VideoWidget : public QWidget {
 public:
  // `proc` receives the window's messages (none needed: pass an empty function).
  explicit VideoWidget(QWidget* parent = nullptr, WindowProc proc = {});
  WindowHandle handle() const { return handle_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  WindowHandle handle_ = 0;
};

}  // namespace plat
