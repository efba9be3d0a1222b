#pragma once
// One video window of a play screen. The device layer renders into its window handle, which
// stays the same when the screen goes full screen; pictures presented after the window is
// gone are dropped by the display layer. Clicks make it the active window and are reported
// to the preview page; its context menu snapshots, records and stops the preview it shows.
#include <QMenu>
#include <cstdint>
#include <string>

#include "plat/qtvideowidget.h"
#include "view/LiveScreen.h"

class CBSWndContainer;
class CDevice;

// The preview page's window, to which live play windows report (0 while there is no page).
void SetPreviewPageWindow(plat::WindowHandle page);
plat::WindowHandle GetPreviewPageWindow();

class CPlayWnd : public plat::VideoWidget, public ILiveWindow {
 public:
  static constexpr int kControlId = 1979;
  static constexpr uint32_t kBackground = 0x020202;
  static constexpr int ID_SNAPSHOT = 32807;
  static constexpr int ID_RECORD = 32809;
  static constexpr int ID_STOP_PREVIEW = 32811;
  static constexpr int ID_SOUND = 32805;

  CPlayWnd(int index, int playbackFlag, CBSWndContainer* container);

  int GetIndex() const { return index_; }
  int GetPlaybackFlag() const { return playback_; }
  plat::WindowHandle GetSafeHwnd() const override { return handle(); }
  void SetCallback(PlayWndCallback callback, CDevice* device, int channel, void* page) override;
  // Posts WM_PLAYWND_SELECTED (index) to the preview page; only the live screen's windows do.
  void NotifySelected();

  // The context menu for this window's preview; null when none is shown (playback screen, or
  // no running preview in this window). The caller owns it.
  QMenu* BuildContextMenu();
  void OnCommand(int id);

  // What the window shows besides pictures, and the watch over them (view/LiveScreen.h).
  void Show(State state) override;
  State GetState() const override { return state_; }
  Watch WatchPictures(int64_t nowMs) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  intptr_t OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  void StopFromMenu();
  void RaiseEvent(int event);
  CBSWndContainer* Container() const;

  int index_;
  int playback_;
  CBSWndContainer* container_;
  PlayWndCallback callback_ = nullptr;
  std::u16string callbackDevice_;  // looked up when the event is raised
  int callbackChannel_ = -1;
  void* callbackPage_ = nullptr;
  uint64_t CurrentSerial() const;
  void Blank();
  void PaintState(QPainter& painter);

  uint64_t blankedSerial_ = 0;  // pictures up to this one belong to a stopped preview
  bool blanked_ = true;  // the background until the first picture
  State state_ = State::kIdle;
  uint64_t watchedSerial_ = 0;
  int64_t lastPictureMs_ = 0;
  bool hadPicture_ = false;
  bool cameLastLook_ = false;  // the last look found new presents
};
