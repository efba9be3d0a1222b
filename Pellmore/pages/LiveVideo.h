#pragma once
// What the two editors over live video share: the video window, whose left-button presses,
// moves and releases come to the editor in window pixels (a release outside the window still
// comes here, with its point outside), and the live view with a draw routine that draws into
// each shown picture on the SDK's display thread.
#include <QPoint>
#include <functional>

#include "HCNetSDK.h"
#include "plat/qtvideowidget.h"

namespace pellmore {

class VideoWindow : public plat::VideoWidget {
 public:
  VideoWindow(QWidget* parent, int id, int width, int height);
  std::function<void(QPoint)> onPress, onMove, onRelease;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// Live video of one channel (0-based index) into a video window on the session's login, with
// a draw routine registered when the video started. Stop unregisters the routine (which
// returns only once no call of it is in progress) and then stops the video, so the routine's
// user value may go right after.
class LiveOverlay {
 public:
  LiveOverlay() = default;
  ~LiveOverlay() { Stop(); }
  LiveOverlay(const LiveOverlay&) = delete;
  LiveOverlay& operator=(const LiveOverlay&) = delete;

  int32_t Start(VideoWindow* window, int channelIndex, SdkDrawFun draw, void* user);
  void Stop();
  int32_t Handle() const { return handle_; }

 private:
  int32_t handle_ = -1;
};

// A point of the window kept inside it (0 .. size - 1).
QPoint ClampToWindow(QPoint p, const QWidget* window);

}  // namespace pellmore
