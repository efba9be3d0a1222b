#pragma once
// The local playback page of the main window: finds the recordings of a channel and day in
// the recording folders and the download folder, shows them on the time bar and plays them
// with the device layer's local player of the device's type. Its logic is
// CDlgLPlaybackController's.
#include <string>

#include "view/DlgLPlaybackController.h"
#include "view/PlaybackPage.h"

class CDlgLPlayback : public CPlaybackPageBase {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 178;
  static constexpr int kDeviceTreeId = IDC_TREE;

  CDlgLPlayback();
  ~CDlgLPlayback() override;

  CDlgLPlaybackController& Controller() override { return m_controller; }
  // True while a local playback runs on the page.
  bool IsPlaying() const { return m_controller.IsPlaying(); }
  // Holds the page as playing whatever it does (the main window's tests use it).
  void SetPlaying(bool playing) { m_controller.SetHeldPlaying(playing); }

  std::u16string PlayingPath() const { return m_controller.PlayingPath(); }
  std::u16string ChosenFile() const { return m_controller.ChosenFile(); }

 protected:
  bool OnInitDialog() override;

 private:
  CDlgLPlaybackController m_controller{*this};
};
