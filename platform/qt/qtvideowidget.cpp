#include "plat/qtvideowidget.h"

#include <QImage>
#include <QPainter>
#include <QPointer>

#include "plat/qtwindow.h"
#include "plat/surface.h"

namespace plat {

VideoWidget::VideoWidget(QWidget* parent, WindowProc proc) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (!proc) proc = [](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; };
  handle_ = registerQtWindow(this, std::move(proc));
  // Presents come from render threads: only schedule a repaint on the GUI thread. The
  // dispatcher stops taking posts before the widget is torn down, and the guard is read
  // only on the GUI thread, where the widget cannot be half destroyed.
  std::shared_ptr<Dispatcher> gui = qtDispatcher(this);
  QPointer<QWidget> self(this);
  setPresentListener(handle_, [gui, self] {
    gui->post([self] {
      if (QWidget* w = self.data()) w->update();
    });
  });
  setWindowClientSize(handle_, width(), height());
}

void VideoWidget::resizeEvent(QResizeEvent* event) {
  setWindowClientSize(handle_, width(), height());
  QWidget::resizeEvent(event);
}

void VideoWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // The picture is painted from the memory it was presented in, held for the paint.
  PresentedFrame pic;
  if (!presentedFrame(handle_, &pic) || pic.width <= 0 || pic.height <= 0) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  const QImage image(pic.bits, pic.width, pic.height, pic.stride, QImage::Format_RGB32);
  // Filtering samples the four pixels around each point: it smooths a picture drawn at half
  // its size or more. Drawn smaller (a 1080p camera in a cell of the grid) it skips pixels
  // and aliases as the nearest pixel does, at several times the cost on the GUI thread, so
  // there the nearest pixel is drawn.
  const bool filtered = width() * 2 >= pic.width && height() * 2 >= pic.height;
  painter.setRenderHint(QPainter::SmoothPixmapTransform, filtered);
  painter.drawImage(rect(), image);
}

}  // namespace plat
