#include "LiveVideo.h"

#include <QMouseEvent>
#include <algorithm>

#include "Session.h"

namespace pellmore {

VideoWindow::VideoWindow(QWidget* parent, int id, int width, int height)
    : plat::VideoWidget(parent) {
  setObjectName(QString::number(id));
  setFixedSize(width, height);
}

void VideoWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && onPress) onPress(event->position().toPoint());
}

void VideoWindow::mouseMoveEvent(QMouseEvent* event) {
  if ((event->buttons() & Qt::LeftButton) && onMove) onMove(event->position().toPoint());
}

void VideoWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && onRelease) onRelease(event->position().toPoint());
}

int32_t LiveOverlay::Start(VideoWindow* window, int channelIndex, SdkDrawFun draw, void* user) {
  Stop();
  handle_ = StartChannelVideo(window ? window->handle() : 0, GetDeviceSession(), channelIndex + 1);
  if (handle_ < 0) {
    handle_ = -1;
    return -1;
  }
  if (draw) NET_DVR_RigisterDrawFun(handle_, draw, user);
  return handle_;
}

void LiveOverlay::Stop() {
  if (handle_ < 0) return;
  NET_DVR_RigisterDrawFun(handle_, nullptr, nullptr);
  NET_DVR_StopRealPlay(handle_);
  handle_ = -1;
}

QPoint ClampToWindow(QPoint p, const QWidget* window) {
  return QPoint(std::clamp(p.x(), 0, std::max(0, window->width() - 1)),
                std::clamp(p.y(), 0, std::max(0, window->height() - 1)));
}

}  // namespace pellmore
