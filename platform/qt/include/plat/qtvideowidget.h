#pragma once
// A play window for the display surfaces: registers a window handle, tells the display its
// client area's size in device pixels (pictures are made at that size), and paints the
// picture last presented to it on the GUI thread: as it is when it has the window's size,
// else scaled to it. While shown it notes each picture it painted (plat::waitPainted).
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
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QSize devicePixels() const;
  void reportClientSize();
  WindowHandle handle_ = 0;
};

}  // namespace plat
