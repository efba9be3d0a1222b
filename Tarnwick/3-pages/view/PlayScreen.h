#pragma once
// The play screen: 25 play windows, index 0..24, laid out a page at a time in the chosen
// split layout. The live page owns one; each playback page owns one with the playback flag.
// The preview list and the live view's model see it as its windows (view/LiveScreen.h).
#include <array>

#include "view/BSWndContainer.h"
#include "view/LiveScreen.h"
#include "view/PlayWnd.h"

class CPlayScreen : public CBSWndContainer, public ILiveScreen {
 public:
  static constexpr int kControlId = 1101;
  static constexpr uint32_t kFrameColour = 0xB605F8;

  explicit CPlayScreen(int playbackFlag, QWidget* parent = nullptr);
  ~CPlayScreen() override;

  // Lists the page of `mode` that holds window `first` and makes its first window active;
  // the number of windows now listed.
  int SetMode(int mode, int first) override;
  int NextPage(int index);
  int PrevPage(int index);
  void SetActiveIndex(int i, int relayout) override;
  CPlayWnd* GetWnd(int i) const override;
  CPlayWnd* GetWndUnchecked(int i) const { return windows_[i]; }
  int FindIndexByHwnd(plat::WindowHandle wnd) const override;
  int GetActiveIndex() const override;
  int GetLayoutMode() const override { return GetLayoutModeValue(); }
  int GetPlaybackFlag() const { return playback_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  int playback_;
  std::array<CPlayWnd*, kWindowCount> windows_{};
};
