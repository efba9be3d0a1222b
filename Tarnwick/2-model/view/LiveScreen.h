#pragma once
// The live play screen as the preview list and the live view's model see it: 25 play windows
// by index, the active one and the split layout. The screen and its windows are the pages'
// (view/PlayScreen.h, view/PlayWnd.h), which implement these two; the tests of this floor
// hand in windows of their own.
#include <cstdint>

#include "plat/window.h"

class CDevice;

// Event 2: the window's preview was stopped from its menu; event 3: the device refused its
// stream (connections full) and the device layer stopped it.
using PlayWndCallback = void (*)(CDevice* device, int channel, int event, void* page);

class ILiveWindow {
 public:
  static constexpr int kEventPreviewStopped = 2;
  static constexpr int kEventPreviewRefused = 3;

  // What the window shows besides pictures. While its preview connects it says so; a live
  // window that gets no new picture for kLostAfterMs says its video is lost (or that none
  // came) instead of holding its last picture, until pictures come back; an idle window is
  // dark. A window whose device was lost, or whose stream the device refused, had its
  // preview closed and says why until it is opened again or cleared.
  enum class State { kIdle, kConnecting, kLive, kLost, kDeviceLost, kRefused };
  static constexpr int kLostAfterMs = 4000;
  enum class Watch { kSame, kLost, kBack };

  virtual ~ILiveWindow() = default;
  // The handle the device layer renders into.
  virtual plat::WindowHandle GetSafeHwnd() const = 0;
  // Who the window reports its events to (`page` is handed back), and for which channel.
  virtual void SetCallback(PlayWndCallback callback, CDevice* device, int channel, void* page) = 0;
  // Live starts watching for pictures; every other state shows the background and its word
  // (kLost comes from WatchPictures).
  virtual void Show(State state) = 0;
  virtual State GetState() const = 0;
  // Asked every second for a live window by its page, with the clock's tick count.
  virtual Watch WatchPictures(int64_t nowMs) = 0;
};

class ILiveScreen {
 public:
  static constexpr int kWindowCount = 25;

  virtual ~ILiveScreen() = default;
  // Null outside 0..24.
  virtual ILiveWindow* GetWnd(int i) const = 0;
  // -1 when no window is active.
  virtual int GetActiveIndex() const = 0;
  virtual void SetActiveIndex(int i, int relayout) = 0;
  virtual int FindIndexByHwnd(plat::WindowHandle wnd) const = 0;
  // Lists the page of `mode` that holds window `first` and makes its first window active;
  // the number of windows now listed.
  virtual int SetMode(int mode, int first) = 0;
  virtual int GetLayoutMode() const = 0;
};
