#pragma once
// The remote playback page without its widgets: a channel's recordings of a day searched on
// the device, one played from the device into the page's play window, and downloaded into the
// download folder. Every exchange with the device (login, search, the playback's open and
// each command, the download's start, progress polls and stop, snapshots) runs on the device's
// queue; the page shows what is on its way (searching, opening, downloading) and the page's
// messages when the results arrive. A device that keeps no recordings is said to keep none
// before anything is asked of it; what a device cannot do while it plays is shown unavailable.
#include <QTimer>
#include <string>
#include <vector>

#include "view/PlaybackPageController.h"

class CDlgPlaybackController : public CPlaybackPageController {
 public:
  static constexpr int kTimerMs = 100;
  // A position this close to the end is the end: the device's last report may stop short of it.
  static constexpr float kEndPercent = 99.5f;

  explicit CDlgPlaybackController(IPlaybackPageUi& ui);
  ~CDlgPlaybackController() override;

  // What a device's remote playback can do besides play, pause and speed, by device type (0:
  // nothing plays; what some family can do is offered).
  static PlayAbilities AbilitiesOf(int deviceType);

  void CellClicked(int index) override;
  void Play() override;
  void Slow() override;
  void Fast() override;
  void FrameBack() override;
  void FrameForward() override;
  void VolumeMoved(int value) override;
  // Starts the download of the chosen file, or stops the running one.
  void Download();
  // The download timer's tick (reachable without waiting for the timer).
  void PollDownload();

  // True while a download is held, a search runs, or a playback is held or opening.
  bool IsBusy() const;
  void SetHeldBusy(bool busy) { heldBusy_ = busy; }
  std::u16string PlayingName() const { return HasSlot() ? playingName_ : std::u16string(); }
  bool IsDownloading() const { return download_ != nullptr; }
  std::u16string LastDownloadPath() const { return downloadPath_; }
  const std::vector<FoundFile>& Results() const { return results_; }

 protected:
  bool StartSearch(const std::shared_ptr<CPlaybackSearch>& search, const SearchRequest& request) override;
  void OnSearchStarted() override { results_.clear(); }
  void OnFileFound(const FoundFile& file) override { results_.push_back(file); }
  void OnDeviceReleased(const std::u16string& deviceGuid) override;
  bool HasSlot() const override { return slot_ != nullptr; }
  void ReleaseSlot() override;
  void QueueSound(bool on) override;
  void QueueVolume(int value) override;
  void QueueSeek(int value) override;
  void QueueCapture(const std::string& nativePath, std::function<void(bool)> done) override;
  void QueuePosition(std::function<void(float)> done) override;
  void AtPosition(float percent) override;
  PlayAbilities IdleAbilities() const override { return AbilitiesOf(0); }
  const char16_t* SnapshotSeparator() const override { return u"\\"; }

 private:
  using PlaybackSlot = QueueSlot<CDevRemotePlayback>;
  using DownloadSlot = QueueSlot<CDevRemoteFileDownloader>;
  enum class Outcome { Done, LoginFailed, NoObject, StartFailed };

  void Opened(const std::shared_ptr<PlaybackSlot>& slot, Outcome outcome);
  void DownloadStarted(const std::shared_ptr<DownloadSlot>& slot, Outcome outcome);
  // Runs `change` on the playback (a speed or a frame) after taking a recorder paused by an
  // earlier change back to normal play (`anyType`: any device, not only a recorder).
  void ChangeSpeed(int (CDevRemotePlayback::*change)(), bool anyType);
  void ReleaseDownload();

  bool heldBusy_ = false;
  // The last search: what it found.
  std::vector<FoundFile> results_;
  // The file of the last cell clicked, with the search it came from.
  FoundFile chosen_;
  SearchOrigin chosenOrigin_;
  // The play slot.
  std::shared_ptr<PlaybackSlot> slot_;
  std::u16string playingName_;
  // The download.
  std::shared_ptr<DownloadSlot> download_;
  std::u16string downloadQueue_;
  std::u16string downloadPath_;
  bool downloadStarting_ = false;
  bool downloadPolling_ = false;
  QTimer downloadTimer_;
};
