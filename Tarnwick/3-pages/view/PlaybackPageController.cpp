#include "view/PlaybackPageController.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "plat/clock.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"
#include "view/PlaybackNames.h"

namespace {

// The live controllers, told before any device is released. Controllers are made, used and
// destroyed on the UI thread, where devices are released too.
std::vector<CPlaybackPageController*>& Controllers() {
  static std::vector<CPlaybackPageController*> all;
  return all;
}

void PurgePlaybackPages(const std::u16string& deviceGuid) {
  for (CPlaybackPageController* c : std::vector<CPlaybackPageController*>(Controllers()))
    c->OnDeviceReleased(deviceGuid);
}

}  // namespace

// The times of day alone: the dates of the record are not used.
ScheduleCell CellOf(const FoundFile& f) {
  return ScheduleCell(f.start.hour, f.start.minute, f.start.second, f.end.hour, f.end.minute,
                      f.end.second, f.name);
}

CPlaybackPageController::CPlaybackPageController(IPlaybackPageUi& ui, int positionMs) : ui_(ui) {
  positionTimer_.setInterval(positionMs);
  QObject::connect(&positionTimer_, &QTimer::timeout, [this] { PollPosition(); });
  AddDeviceReleaseHook(&PurgePlaybackPages);
  Controllers().push_back(this);
}

CPlaybackPageController::~CPlaybackPageController() {
  auto& all = Controllers();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  // A walk still going ends at its next step; device work ends by its deadline. Neither is
  // waited for, and their results are dropped with the owner.
  if (search_) search_->Cancel();
}

CDevice* CPlaybackPageController::OriginDevice(const SearchOrigin& origin) {
  if (!origin.Valid()) return nullptr;
  return CDeviceManager::GetInstance()->FindDevice(origin.deviceGuid, 1);
}

// ---- search

void CPlaybackPageController::Find(const SearchRequest& request) {
  if (!request.device) return;
  if (search_) {
    Notice(IDS_SEARCHING);
    return;
  }
  ui_.ClearCells();
  resultsOrigin_ = SearchOrigin{request.device->GetGuid(), request.channelIndex, request.device->GetDevType()};
  OnSearchStarted();
  auto search = std::make_shared<CPlaybackSearch>(ui_.PageWindow());
  search_ = search;
  if (!StartSearch(search, request)) {
    search_.reset();
    searchDevice_.clear();
    Notice(IDS_SEARCH_START_FAILED);
    return;
  }
}

void CPlaybackPageController::TakeFound() {
  if (!search_) return;
  for (const FoundFile& f : search_->Take()) {
    OnFileFound(f);
    ui_.AddCell(CellOf(f));
  }
}

void CPlaybackPageController::EndSearch(const std::shared_ptr<CPlaybackSearch>& search, uint32_t notice) {
  if (search != search_) return;  // cut short before: its end says nothing
  TakeFound();
  search_.reset();
  searchDevice_.clear();
  if (notice) Notice(notice);
}

void CPlaybackPageController::OnDeviceReleased(const std::u16string& deviceGuid) {
  if (search_ && !searchDevice_.empty() && searchDevice_ == deviceGuid) {
    // The search's work ends at its next step, or is dropped with the device's queue; a
    // search cut short claims no result.
    search_->Cancel();
    search_.reset();
    searchDevice_.clear();
    }
  if (HasSlot() && playingOrigin_.deviceGuid == deviceGuid) Stop();
}

// ---- the play slot

void CPlaybackPageController::BeginOpen(const std::u16string& queue, const SearchOrigin& origin,
                                        plat::WindowHandle window) {
  slotQueue_ = queue;
  playWindow_ = window;
  playingOrigin_ = origin;
  opening_ = true;
  ++slotSerial_;
  ui_.ShowOpening(true);
}

void CPlaybackPageController::OpenEnded(bool playing, const PlayAbilities& abilities) {
  opening_ = false;
  ui_.ShowOpening(false);
  if (!playing) {
    ClearSlot();
    return;
  }
  sound_ = 0;
  abilities_ = abilities;
  ui_.ShowAbilities(abilities_);
  SetPlayState(PlayState::kPlaying);
  positionTimer_.start();
}

void CPlaybackPageController::SetPlayState(PlayState state) {
  state_ = state;
  ui_.SetPlayButton(state == PlayState::kPlaying ? 1 : 0);
}

void CPlaybackPageController::ClearSlot() {
  positionTimer_.stop();
  pollInFlight_ = false;
  if (opening_) {
    opening_ = false;
    ui_.ShowOpening(false);
  }
  if (plat::WindowHandle wnd = ui_.PlayWindow()) plat::postMessage(wnd, WM_PREVIEW_STOPPED, 0, 0);
  state_ = PlayState::kIdle;
  playingOrigin_ = SearchOrigin{};
  ui_.SetPlayButton(0);
  ui_.SetSoundButton(0);
  sound_ = 0;
  abilities_ = IdleAbilities();
  ui_.ShowAbilities(abilities_);
}

void CPlaybackPageController::Stop() {
  if (HasSlot()) {
    ReleaseSlot();
    ClearSlot();
  }
  ui_.SetPlayButton(0);
  ui_.SetPosition(0);
}

void CPlaybackPageController::Snapshot() {
  if (!HasSlot() || opening_) return;
  std::u16string folder;  // empty when no disk has the room
  if (!CLocalSettings::GetInstance()->GetRecordPath(folder)) folder.clear();
  CDevice* device = OriginDevice(playingOrigin_);
  if (!device) return;
  char tail[64];
  std::snprintf(tail, sizeof tail, "_%02d_%ld.bmp", playingOrigin_.channelIndex + 1,
                static_cast<long>(plat::tickCount()));
  const std::u16string path = folder + SnapshotSeparator() + playback_names::FileNamePart(device->GetDevInfo().GetIP()) +
                              plat::utf8ToUtf16(tail);
  // Without a folder the name has no drive, which here is the root of the file system: the
  // picture is not taken there, and it is told as a capture that failed.
  if (folder.empty()) {
    UiService().Notice(TextWithPath(IDS_SNAPSHOT_FAILED, path));
    return;
  }
  const std::string native = plat::toNativePath(path);
  QueueCapture(native, [path](bool ok) {
    UiService().Notice(TextWithPath(ok ? IDS_SNAPSHOT_OK : IDS_SNAPSHOT_FAILED, path));
  });
}

void CPlaybackPageController::Sound() {
  if (!HasSlot() || opening_) return;
  if (sound_) {
    QueueSound(false);
    sound_ = 0;
    ui_.SetSoundButton(0);
    return;
  }
  QueueSound(true);
  // The slider (whose range is the player's) shows the loudest volume: that is what is sent,
  // so what plays is what it shows.
  const int loudest = ui_.VolumeMaximum();
  ui_.SetVolume(loudest);
  SendVolume(loudest);
  sound_ = 1;
  ui_.SetSoundButton(1);
}

void CPlaybackPageController::SendVolume(int value) {
  QueueVolume(value);
  lastVolume_ = value;
}

void CPlaybackPageController::PositionMoved(int value) {
  if (!HasSlot() || opening_) return;
  ++seekSerial_;
  QueueSeek(value);
}

void CPlaybackPageController::PollPosition() {
  if (!HasSlot() || opening_ || pollInFlight_) return;
  pollInFlight_ = true;
  const uint64_t slot = slotSerial_, seek = seekSerial_;
  QueuePosition([this, slot, seek](float percent) {
    if (slot != slotSerial_) return;  // another file since
    pollInFlight_ = false;
    if (!HasSlot() || opening_ || seek != seekSerial_) return;  // read before a seek
    AtPosition(percent);
  });
}
