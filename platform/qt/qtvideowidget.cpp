#include "plat/qtvideowidget.h"

#include <QImage>
#include <QPainter>
#include <QPointer>

#include "plat/qtwindow.h"
#include "plat/surface.h"
#include "repaint_batch.h"

namespace plat {

VideoWidget::VideoWidget(QWidget* parent, WindowProc proc) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (!proc) proc = [](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; };
  handle_ = registerQtWindow(this, std::move(proc));
  // Presents come from render threads: only schedule a repaint on the GUI thread, with the
  // other windows' of the same refresh. The guard is read only on the GUI thread, where the
  // widget cannot be half destroyed.
  prepareRepaints();
  QPointer<QWidget> self(this);
  const void* key = this;
  setPresentListener(handle_, [self, key] { requestRepaint(self, key); });
  reportClientSize();
}

QSize VideoWidget::devicePixels() const {
  const qreal ratio = devicePixelRatioF();
  return QSize(qRound(width() * ratio), qRound(height() * ratio));
}

// Pictures are made at the size the window shows them, in device pixels.
void VideoWidget::reportClientSize() {
  const QSize size = devicePixels();
  setWindowClientSize(handle_, size.width(), size.height());
}

void VideoWidget::resizeEvent(QResizeEvent* event) {
  reportClientSize();
  QWidget::resizeEvent(event);
}

// A window out of sight paints nothing: pictures are not held for it.
void VideoWidget::showEvent(QShowEvent* event) {
  setWindowPainter(handle_, true);
  QWidget::showEvent(event);
}

void VideoWidget::hideEvent(QHideEvent* event) {
  setWindowPainter(handle_, false);
  QWidget::hideEvent(event);
}

void VideoWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  uint64_t serial = 0;
  {
    // The picture is painted from the memory it was presented in, held for the paint only.
    PresentedFrame pic;
    if (!presentedFrame(handle_, &pic) || pic.width <= 0 || pic.height <= 0) {
      painter.fillRect(rect(), Qt::black);
      return;
    }
    serial = pic.serial;
    QImage image(pic.bits, pic.width, pic.height, pic.stride, QImage::Format_RGB32);
    if (QSize(pic.width, pic.height) == devicePixels()) {
      // Made at the window's size: painted as it is, pixel for pixel.
      image.setDevicePixelRatio(devicePixelRatioF());
      painter.drawImage(QPointF(0, 0), image);
    } else {
      // A picture presented before the window took its present size is scaled here, until
      // the next one comes. Filtering samples the four pixels around each point: it smooths
      // a picture drawn at half its size or more. Drawn smaller it skips pixels and aliases
      // as the nearest pixel does, at several times the cost on the GUI thread, so there the
      // nearest pixel is drawn.
      const bool filtered = width() * 2 >= pic.width && height() * 2 >= pic.height;
      painter.setRenderHint(QPainter::SmoothPixmapTransform, filtered);
      painter.drawImage(rect(), image);
    }
  }
  // Said once the picture is let go, so the next one can be drawn into its memory.
  notePainted(handle_, serial);
}

}  // namespace plat
