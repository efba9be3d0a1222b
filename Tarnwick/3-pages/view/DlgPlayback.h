#pragma once
// The remote playback page of the main window: searches a channel's recordings on the device
// by day and type, shows them on the time bar, plays one in the play screen and downloads it
// into the download folder.
#include <QTimer>
#include <string>
#include <vector>

#include "view/PlaybackPage.h"

class CDlgPlayback : public CPlaybackPageBase {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 136;
  static constexpr int kDeviceTreeId = IDC_TREE;
  static constexpr int kVolumeMax = 32767;

  CDlgPlayback();
  ~CDlgPlayback() override;

  // True while a download object exists, a search runs, or a playback is held.
  bool IsBusy() const;
  // Holds the page busy whatever it does (the main window's tests use it).
  void SetBusy(bool busy) { m_heldBusy = busy; }

  std::u16string PlayingName() const { return m_playingName; }
  CDevRemotePlayback* Playback() const { return m_playback; }
  CDevRemoteFileDownloader* Downloader() const { return m_downloader; }
  std::u16string LastDownloadPath() const { return m_downloadPath; }
  QString ProgressText() const;
  const std::vector<FoundFile>& Results() const { return m_results; }
  // The timers' work, reachable without waiting for them.
  void OnDownloadTimer();
  void OnPositionTimer();

 protected:
  bool OnInitDialog() override;
  void OnFind() override;
  void OnPlay() override;
  void OnSlow() override;
  void OnFast() override;
  void OnFrameBack() override;
  void OnFrameForward() override;
  void OnDownload() override;
  void OnCellClicked(int index) override;
  void OnPositionMoved(int value) override;
  void OnVolumeMoved(int value) override;
  void OnFileFound(const FoundFile& file) override;
  void StopDeviceWork(const std::u16string& deviceGuid) override;

 private:
  bool HasSlot() const override { return m_playback != nullptr; }
  void StopSlot() override;
  void SlotSound(bool on) override;
  void SlotVolume(int value) override;
  bool SlotCapture(const char* nativePath) override;
  // The device's login, logged in first when it is not (notice 8601 when that fails).
  IDevUserLogin* LoggedIn(CDevice* device);
  void ReleaseDownloader();
  void SetProgressText(const QString& text);
  // Runs `change` on the playback (a speed or a frame) after taking a recorder paused by an
  // earlier change back to normal play (`anyType`: any device, not only a recorder).
  void ChangeSpeed(int (CDevRemotePlayback::*change)(), bool anyType);

  bool m_heldBusy = false;
  // The last search: what it found and for which device and channel.
  std::vector<FoundFile> m_results;
  SearchOrigin m_resultsOrigin;
  SearchOrigin m_searchOrigin;  // of the search running now
  // The file of the last cell clicked, with the search it came from.
  FoundFile m_chosen;
  SearchOrigin m_chosenOrigin;
  // The play slot.
  CDevRemotePlayback* m_playback = nullptr;
  std::u16string m_playingName;
  int m_lastVolume = 0;
  // The download.
  CDevRemoteFileDownloader* m_downloader = nullptr;
  std::u16string m_downloadPath;
  SearchOrigin m_downloadOrigin;
  QTimer m_downloadTimer;
  QTimer m_positionTimer;
};
