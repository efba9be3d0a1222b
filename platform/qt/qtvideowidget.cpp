#include "plat/qtvideowidget.h"

#include <QImage>
#include <QMetaObject>
#include <QPainter>
#include <QPointer>

#include "plat/qtwindow.h"
#include "plat/surface.h"

namespace plat {

VideoWidget::VideoWidget(QWidget* parent, WindowProc proc) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (!proc) proc = [](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; };
  handle_ = registerQtWindow(this, std::move(proc));
  // Presents come from render threads: only schedule a repaint on the GUI thread.
  QPointer<VideoWidget> self(this);
  setPresentListener(handle_, [self] {
    QWidget* w = self.data();
    if (w) QMetaObject::invokeMethod(w, [self] { if (self) self->update(); }, Qt::QueuedConnection);
  });
  setWindowClientSize(handle_, width(), height());
}

void VideoWidget::resizeEvent(QResizeEvent* event) {
  setWindowClientSize(handle_, width(), height());
  QWidget::resizeEvent(event);
}

void VideoWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PresentedPicture pic;
  if (!lastPresented(handle_, &pic) || pic.width <= 0 || pic.height <= 0) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  QImage image(reinterpret_cast<const uchar*>(pic.pixels.data()), pic.width, pic.height,
               pic.width * 4, QImage::Format_RGB32);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), image);
}

}  // namespace plat
