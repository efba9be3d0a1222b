#include "LiveVideo.h"

#include <QMouseEvent>
#include <algorithm>

#include "Session.h"
#include "plat/controlid.h"

namespace pellmore {

VideoWindow::VideoWindow(QWidget* parent, int id, int width, int height)
    : plat::VideoWidget(parent) {
  plat::Named(this, id);
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

void LiveOverlay::Start(VideoWindow* window, int channelIndex, SdkDrawFun draw, void* user) {
  Stop();
  const DeviceSession* session = GetDeviceSession();
  if (!session) return;
  auto view = std::make_shared<View>();
  view_ = view;
  const intptr_t target = window ? window->handle() : 0;
  session->Exchange([view, target, channelIndex, draw, user](int32_t login) {
    const int32_t handle = StartChannelVideo(target, login, channelIndex + 1);
    std::lock_guard<std::mutex> lock(view->mutex);
    if (view->stopped) {
      if (handle >= 0) RecNet_StopRealPlay(handle);
      return;
    }
    view->handle = handle < 0 ? -1 : handle;
    // Under the view's lock: Stop cannot unregister before this registration is in.
    if (handle >= 0 && draw) RecNet_RigisterDrawFun(handle, draw, user);
  });
}

void LiveOverlay::Stop() {
  if (!view_) return;
  int32_t handle = -1;
  {
    std::lock_guard<std::mutex> lock(view_->mutex);
    view_->stopped = true;
    handle = view_->handle;
    view_->handle = -1;
  }
  view_.reset();
  if (handle < 0) return;
  RecNet_RigisterDrawFun(handle, nullptr, nullptr);
  if (const DeviceSession* session = GetDeviceSession())
    session->Exchange([handle](int32_t) { RecNet_StopRealPlay(handle); });
}

int32_t LiveOverlay::Handle() const {
  if (!view_) return -1;
  std::lock_guard<std::mutex> lock(view_->mutex);
  return view_->handle;
}

QPoint ClampToWindow(QPoint p, const QWidget* window) {
  return QPoint(std::clamp(p.x(), 0, std::max(0, window->width() - 1)),
                std::clamp(p.y(), 0, std::max(0, window->height() - 1)));
}

}  // namespace pellmore
