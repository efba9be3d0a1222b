#pragma once
// What the two editors over live video share: the video window, whose left-button presses,
// moves and releases come to the editor in window pixels (a release outside the window still
// comes here, with its point outside), and the live view with a draw routine that draws into
// each shown picture on the SDK's display thread.
#include <QPoint>
#include <functional>
#include <memory>
#include <mutex>

#include "RecNet.h"
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
// a draw routine registered when the video started. The start is a device exchange: it runs on
// the session's queue and the editor shows its window at once (the picture comes when the
// device answers). Stop unregisters the routine (which returns only once no call of it is in
// progress), so the routine's user value may go right after; the video itself is stopped on
// the queue. A start that ends after Stop stops its video there and registers nothing.
class LiveOverlay {
 public:
  LiveOverlay() = default;
  ~LiveOverlay() { Stop(); }
  LiveOverlay(const LiveOverlay&) = delete;
  LiveOverlay& operator=(const LiveOverlay&) = delete;

  void Start(VideoWindow* window, int channelIndex, SdkDrawFun draw, void* user);
  void Stop();
  int32_t Handle() const;  // the live handle; -1 until started, or when it failed

 private:
  struct View {
    std::mutex mutex;
    bool stopped = false;
    int32_t handle = -1;
  };
  std::shared_ptr<View> view_;
};

// A point of the window kept inside it (0 .. size - 1).
QPoint ClampToWindow(QPoint p, const QWidget* window);

}  // namespace pellmore
