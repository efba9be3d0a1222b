#pragma once
// The logic both playback pages share, without their widgets: the search of a channel's files
// of a day (one at a time; its files reach the time bar as they are found, its notice comes at
// its end), the play slot's state and its common commands (stop, snapshot, sound, volume,
// position) with the polling of the play position.
//
// What plays is a device-layer object made, called and deleted only on its queue (the
// device's own for the remote page; for local files a queue of the local player's own, since
// a file may be slow to open). The controller keeps the page's state on the UI thread and
// never waits: a command is queued and the page shows its effect at once, a result (a file
// opened, a position, a snapshot written) comes back while the controller lives, and one that
// belongs to a slot or search since replaced is dropped.
//
// Before a device is released every controller ends the search that uses it and stops what it
// plays from it (devices/Device.h, the release hooks).
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "devices/DeviceWork.h"
#include "view/PlaybackPageSearch.h"
#include "view/PlaybackPageUi.h"
#include "view/ViewMessages.h"

class CDevice;

// What the play slot is doing.
enum class PlayState {
  kIdle = -1,        // nothing plays
  kPlaying = 0,      // at normal speed
  kPaused = 1,
  // Slower, faster or frame by frame on a device's recording. The local page has no such
  // state: a speed plays on (kPlaying), a frame step stops there (kPaused).
  kSpeedOrFrame = 2
};

// A device-layer object kept for a page: made, used and deleted only by work on its queue.
template <class T>
struct QueueSlot {
  T* object = nullptr;
};

class CPlaybackPageController {
 public:
  CPlaybackPageController(IPlaybackPageUi& ui, int positionMs);
  virtual ~CPlaybackPageController();
  CPlaybackPageController(const CPlaybackPageController&) = delete;
  CPlaybackPageController& operator=(const CPlaybackPageController&) = delete;

  // A search of channel `channelIndex` (0-based) of `device` (chosen in the page's tree) on the
  // given day, for the files of `kind` (the kind combo's item data).
  struct SearchRequest {
    CDevice* device = nullptr;
    int channelIndex = -1;
    int year = 0, month = 0, day = 0;
    int kind = 0;
  };
  void Find(const SearchRequest& request);
  // WM_PLAYBACK_FOUND: the files found so far go onto the time bar.
  void TakeFound();
  virtual void CellClicked(int index) = 0;

  virtual void Play() = 0;
  void Stop();
  virtual void Slow() = 0;
  virtual void Fast() = 0;
  virtual void FrameBack() = 0;
  virtual void FrameForward() = 0;
  void Snapshot();
  void Sound();
  virtual void VolumeMoved(int value) = 0;
  void PositionMoved(int value);
  // The play position timer's tick (reachable without waiting for the timer).
  void PollPosition();

  bool IsSearching() const { return search_ != nullptr; }
  PlayState GetPlayState() const { return state_; }
  // A file is being opened: the slot is taken, the player not yet playing.
  bool IsOpening() const { return opening_; }
  const PlayAbilities& Abilities() const { return abilities_; }
  // Before the device is released: the search that uses it ends, what plays from it stops.
  virtual void OnDeviceReleased(const std::u16string& deviceGuid);

 protected:
  // Starts the search's work on its worker; false when it could not be started.
  virtual bool StartSearch(const std::shared_ptr<CPlaybackSearch>& search, const SearchRequest& request) = 0;
  virtual void OnSearchStarted() {}
  virtual void OnFileFound(const FoundFile&) {}
  // The search's work ended with `notice` (0: none).
  void EndSearch(const std::shared_ptr<CPlaybackSearch>& search, uint32_t notice);
  // The GUID of the device the running search uses (empty: none).
  std::u16string searchDevice_;
  SearchOrigin resultsOrigin_;  // of the last search started

  // The page's one play slot, kept by the subclass in a QueueSlot of its player's type.
  virtual bool HasSlot() const = 0;
  // Queues the stop and deletion of what plays and forgets it.
  virtual void ReleaseSlot() = 0;
  virtual void QueueSound(bool on) = 0;
  virtual void QueueVolume(int value) = 0;
  virtual void QueueSeek(int value) = 0;
  virtual void QueueCapture(const std::string& nativePath, std::function<void(bool)> done) = 0;
  // Reads the play position (percent) on the slot's queue.
  virtual void QueuePosition(std::function<void(float)> done) = 0;
  // A position read back: the slider follows, the end of the file stops the slot.
  virtual void AtPosition(float percent) = 0;
  // What the page offers while nothing plays.
  virtual PlayAbilities IdleAbilities() const { return PlayAbilities{}; }
  // Between the recording folder (which ends in a separator) and a snapshot's name.
  virtual const char16_t* SnapshotSeparator() const { return u""; }

  // The slot is taken for a file being opened on `queue` into `window`; OpenEnded tells how it
  // went.
  void BeginOpen(const std::u16string& queue, const SearchOrigin& origin, plat::WindowHandle window);
  void OpenEnded(bool playing, const PlayAbilities& abilities);
  // Runs `fn` on the slot's object on its queue, when there is one then.
  template <class T, class Fn>
  void OnSlot(const std::shared_ptr<QueueSlot<T>>& slot, Fn fn) {
    if (!slot || opening_) return;
    devwork::Run(slotQueue_, [slot, fn] {
      if (slot->object) fn(*slot->object);
    });
  }
  // Asks the slot's object on its queue; `done` gets the answer (`none` without an object, or
  // when the queue refused the question).
  template <class T, class R, class Fn>
  void AskSlot(const std::shared_ptr<QueueSlot<T>>& slot, R none, Fn fn, std::function<void(R)> done) {
    devwork::Ask<R>(
        slotQueue_, [slot, none, fn]() -> R { return slot->object ? fn(*slot->object) : none; },
        std::move(done), owner_, none);
  }
  // Queues the stop of what `slot` holds: `stop` runs on the object, then the play window is
  // told (pictures presented meanwhile are let go). Survives the device's retirement.
  template <class T, class Fn>
  void QueueRelease(const std::shared_ptr<QueueSlot<T>>& slot, Fn stop) {
    if (!slot) return;
    const plat::WindowHandle wnd = playWindow_;
    devwork::RunRelease(slotQueue_, [slot, stop, wnd] {
      if (T* object = slot->object) {
        slot->object = nullptr;
        stop(object);
        if (wnd) plat::postMessage(wnd, WM_PREVIEW_STOPPED, 0, 0);
      }
    });
  }

  // The play button follows.
  void SetPlayState(PlayState state);
  // The slot has let go: the play window is told, state, origin and sound are reset.
  void ClearSlot();
  // The volume sent last (the remote page sends no repeat).
  void SendVolume(int value);
  // The device a search or playback ran for, found again by its GUID (null when gone or none).
  static CDevice* OriginDevice(const SearchOrigin& origin);

  IPlaybackPageUi& ui_;
  devwork::Owner owner_;
  PlayState state_ = PlayState::kIdle;
  int sound_ = 0;
  int lastVolume_ = 0;
  SearchOrigin playingOrigin_;
  std::u16string slotQueue_;  // where the play slot's object lives
  plat::WindowHandle playWindow_ = 0;  // where it shows its pictures
  QTimer positionTimer_;

 private:
  std::shared_ptr<CPlaybackSearch> search_;
  bool opening_ = false;
  bool pollInFlight_ = false;
  uint64_t slotSerial_ = 0;  // a new one per file opened
  uint64_t seekSerial_ = 0;  // a new one per seek: positions read before it are stale
  PlayAbilities abilities_;
};
