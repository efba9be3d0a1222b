#pragma once
// The remote playback page of the main window: searches a channel's recordings on the device
// by day and type, shows them on the time bar, plays one in the play screen and downloads it
// into the download folder. Its logic is CDlgPlaybackController's.
#include <QString>
#include <string>
#include <vector>

#include "view/DlgPlaybackController.h"
#include "view/PlaybackPage.h"

class CDlgPlayback : public CPlaybackPageBase {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 136;
  static constexpr int kDeviceTreeId = IDC_TREE;
  static constexpr int kVolumeMax = 32767;

  CDlgPlayback();
  ~CDlgPlayback() override;

  CDlgPlaybackController& Controller() override { return m_controller; }
  // True while a download is held, a search runs, or a playback is held or opening.
  bool IsBusy() const { return m_controller.IsBusy(); }
  // Holds the page busy whatever it does (the main window's tests use it).
  void SetBusy(bool busy) { m_controller.SetHeldBusy(busy); }

  std::u16string PlayingName() const { return m_controller.PlayingName(); }
  bool IsDownloading() const { return m_controller.IsDownloading(); }
  std::u16string LastDownloadPath() const { return m_controller.LastDownloadPath(); }
  QString ProgressText() const;
  const std::vector<FoundFile>& Results() const { return m_controller.Results(); }

  void SetProgressText(const std::u16string& text) override;

 protected:
  bool OnInitDialog() override;
  void OnDownload() override { m_controller.Download(); }

 private:
  CDlgPlaybackController m_controller{*this};
};
