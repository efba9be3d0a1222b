#pragma once
// The local playback page without its widgets: the recordings of a channel and day found in
// the recording folders and the download folder (a walk on a worker of its own), shown on the
// time bar, and played with the device layer's local player of the device's type. The player
// is made on the device's queue (making it logs the device in), then opened and driven on a
// queue of its own, since a file may be slow to open: the page never waits for either.
#include <string>

#include "view/PlaybackNames.h"
#include "view/PlaybackPageController.h"

class CDlgLPlaybackController : public CPlaybackPageController {
 public:
  static constexpr int kPositionMs = 1000;
  // The queues of the local player and of the folder walk (no device's GUID looks like these).
  static constexpr char16_t kPlayerQueue[] = u"#local-player";
  static constexpr char16_t kWalkQueue[] = u"#local-files";
  // Kinds of the combo: the folders they walk.
  enum Kind { kKindManual = 0, kKindAlarm = 1, kKindDownloads = 2, kKindAll = 255 };

  explicit CDlgLPlaybackController(IPlaybackPageUi& ui);
  ~CDlgLPlaybackController() override;

  // What a search compares walked files with: the chosen device and channel and the day.
  struct Filter {
    std::u16string deviceName;  // as the device list has it
    std::u16string ip;
    int port = 0;
    int channelIndex = -1;  // 0-based
    playback_names::Stamp dayStart, dayEnd;
  };
  // The cell span of a walked file, or false when it is not one of the filter's. The last
  // write time (for the end of ring recordings) is read from the file itself.
  static bool MatchLocalFile(const std::u16string& path, const Filter& filter, FoundFile& out);

  void CellClicked(int index) override;
  void Play() override;
  void Slow() override;
  void Fast() override;
  void FrameBack() override;
  void FrameForward() override;
  void VolumeMoved(int value) override;

  // True while a local playback runs on the page or a file is being opened for it.
  bool IsPlaying() const { return heldPlaying_ || state_ != PlayState::kIdle || IsOpening(); }
  void SetHeldPlaying(bool playing) { heldPlaying_ = playing; }
  std::u16string PlayingPath() const { return playingPath_; }
  std::u16string ChosenFile() const { return chosenFile_; }

 protected:
  bool StartSearch(const std::shared_ptr<CPlaybackSearch>& search, const SearchRequest& request) override;
  void OnSearchStarted() override { chosenFile_.clear(); }
  bool HasSlot() const override { return slot_ != nullptr; }
  void ReleaseSlot() override;
  void QueueSound(bool on) override;
  void QueueVolume(int value) override;
  void QueueSeek(int value) override;
  void QueueCapture(const std::string& nativePath, std::function<void(bool)> done) override;
  void QueuePosition(std::function<void(float)> done) override;
  void AtPosition(float percent) override;

 private:
  using PlayerSlot = QueueSlot<IDevLocalPlayback>;
  // The player made on the device's queue is opened on the player's own queue.
  void OpenPlayer(const std::shared_ptr<PlayerSlot>& slot, IDevLocalPlayback* player, const std::string& native,
                  plat::WindowHandle wnd);
  void Opened(const std::shared_ptr<PlayerSlot>& slot, bool playing);
  // Runs `step` on the player and shows play state `state`.
  void Drive(int (IDevLocalPlayback::*step)(), PlayState state);

  bool heldPlaying_ = false;
  SearchOrigin chosenOrigin_;
  std::u16string chosenFile_;
  std::shared_ptr<PlayerSlot> slot_;
  std::u16string playingPath_;
};
