#include "view/DlgPlaybackController.h"

#include "devices/Device.h"
#include "plat/log.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/Disks.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"
#include "view/PlaybackNames.h"

namespace {

constexpr char kLog[] = "playback";

playback_names::Stamp StampOf(const TIME& t) {
  return playback_names::MakeStamp(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

// On the device's queue: the device's login, logged in first when it is not. Null when there
// is no login, or when the login failed (`failed` set).
IDevUserLogin* LoggedIn(CDevice* device, bool& failed) {
  failed = false;
  IDevUserLogin* login = device->GetUserLogin(1);
  if (!login) return nullptr;
  if (!device->IsLoggedIn() && login->Login() == -1) {
    failed = true;
    return nullptr;
  }
  return login;
}

}  // namespace

CDlgPlaybackController::CDlgPlaybackController(IPlaybackPageUi& ui) : CPlaybackPageController(ui, kTimerMs) {
  downloadTimer_.setInterval(kTimerMs);
  QObject::connect(&downloadTimer_, &QTimer::timeout, [this] { PollDownload(); });
}

CDlgPlaybackController::~CDlgPlaybackController() {
  downloadTimer_.stop();
  ReleaseDownload();
  ReleaseSlot();
}

PlayAbilities CDlgPlaybackController::AbilitiesOf(int deviceType) {
  // No family steps a remote file backwards, and the camera-protocol recorder steps it neither
  // way: the Play button would show a state the playback is not in.
  switch (deviceType) {
    case 0:  // nothing plays: what a family can do is offered
    case DEV_TYPE_DVR:
      return PlayAbilities{false, true};
    default:
      return PlayAbilities{false, false};
  }
}

bool CDlgPlaybackController::IsBusy() const {
  return heldBusy_ || download_ || IsSearching() || state_ != PlayState::kIdle || IsOpening();
}

// ---- search

bool CDlgPlaybackController::StartSearch(const std::shared_ptr<CPlaybackSearch>& search, const SearchRequest& r) {
  tagSearchFileCondition cond{};
  cond.channel = r.channelIndex;
  cond.fileType = r.kind;
  cond.start = TIME{r.year, r.month, r.day, 0, 0, 0};
  cond.end = TIME{r.year, r.month, r.day, 23, 59, 59};
  CDevice* device = r.device;
  searchDevice_ = device->GetGuid();
  return devwork::Run<uint32_t>(
      searchDevice_,
      [device, cond, search]() mutable -> uint32_t {
        if (search->Cancelled()) return 0;
        try {
          bool loginFailed = false;
          IDevUserLogin* login = LoggedIn(device, loginFailed);
          if (!login) return loginFailed ? IDS_LOGIN_FAILED : 0;
          CDevRemoteFileFinder* finder = CDevRemoteFileFinderFactory::CreateFinder(login, &cond);
          if (!finder) return IDS_SEARCH_FAILED;
          tagRemoteFileInfo info{};
          while (!search->Cancelled() && finder->FindNext(&info)) {
            FoundFile f;
            info.fileName[sizeof info.fileName - 1] = 0;
            f.name = CTChar(info.fileName).Wide();
            f.start = info.start;
            f.end = info.end;
            if (!search->Found(std::move(f))) break;
            info = tagRemoteFileInfo{};
          }
          finder->FindClose();
          CDevRemoteFileFinderFactory::DeleteFinder(finder);
          return IDS_SEARCH_DONE;
        } catch (...) {
          return IDS_SEARCH_START_FAILED;
        }
      },
      [this, search](uint32_t notice) { EndSearch(search, notice); }, owner_, IDS_SEARCH_START_FAILED);
}

void CDlgPlaybackController::OnDeviceReleased(const std::u16string& deviceGuid) {
  // A search the device's release cuts short (the device was lost on this very search) has
  // failed: it says so rather than ending without a word.
  const bool searchCut = IsSearching() && searchDevice_ == deviceGuid;
  CPlaybackPageController::OnDeviceReleased(deviceGuid);
  if (searchCut) Notice(IDS_SEARCH_FAILED);
  if (download_ && downloadQueue_ == deviceGuid) {
    // The device went (lost, or rebooting) with the download unfinished: it failed, the user
    // stopped nothing. The file it was to replace, if any, is left as it was.
    ReleaseDownload();
    ui_.SetProgressText(LoadResString(IDS_DOWNLOAD_FAILED));
  }
}

// ---- playing

void CDlgPlaybackController::CellClicked(int index) {
  const std::u16string name = ui_.CellName(index);
  if (name.empty()) return;
  if (name == chosen_.name && chosenOrigin_.deviceGuid == resultsOrigin_.deviceGuid &&
      chosenOrigin_.channelIndex == resultsOrigin_.channelIndex && IsBusy())
    return;
  for (const FoundFile& f : results_) {
    if (f.name != name) continue;
    chosen_ = f;
    chosenOrigin_ = resultsOrigin_;
    break;
  }
  Stop();
  Play();
}

void CDlgPlaybackController::Play() {
  if (IsOpening()) return;  // the press before has yet to be answered
  if (slot_) {
    switch (state_) {
      case PlayState::kPlaying:
        OnSlot(slot_, [](CDevRemotePlayback& p) { p.Pause(); });
        SetPlayState(PlayState::kPaused);
        return;
      case PlayState::kPaused:
        OnSlot(slot_, [](CDevRemotePlayback& p) { p.Resume(); });
        SetPlayState(PlayState::kPlaying);
        return;
      default:
        OnSlot(slot_, [](CDevRemotePlayback& p) { p.Normal(); });
        SetPlayState(PlayState::kPlaying);
        return;
    }
  }
  if (chosen_.name.empty()) {
    Notice(IDS_CHOOSE_FILE);
    return;
  }
  CDevice* device = OriginDevice(chosenOrigin_);
  if (!device) return;
  ui_.SetPosition(0);
  ui_.SetVolume(0);
  const plat::WindowHandle wnd = ui_.PlayWindow();
  if (!wnd) return;
  auto slot = std::make_shared<PlaybackSlot>();
  slot_ = slot;
  playingName_ = chosen_.name;
  BeginOpen(chosenOrigin_.deviceGuid, chosenOrigin_, wnd);
  const std::string name = CTChar(chosen_.name).GetNarrow();
  devwork::Ask<Outcome>(
      slotQueue_,
      [device, slot, wnd, name]() -> Outcome {
        bool loginFailed = false;
        IDevUserLogin* login = LoggedIn(device, loginFailed);
        if (!login) return loginFailed ? Outcome::LoginFailed : Outcome::NoObject;
        CDevRemotePlayback* playback =
            CDevRemotePlaybackFactory::CreateRemotePlayback(login, static_cast<HWND>(wnd), name.c_str());
        if (!playback) return Outcome::NoObject;
        if (!playback->Start(0)) {
          CDevRemotePlaybackFactory::DeleteRemotePlayback(playback);
          return Outcome::StartFailed;
        }
        slot->object = playback;
        return Outcome::Done;
      },
      [this, slot](Outcome outcome) { Opened(slot, outcome); }, owner_, Outcome::NoObject);
}

void CDlgPlaybackController::Opened(const std::shared_ptr<PlaybackSlot>& slot, Outcome outcome) {
  if (slot != slot_) return;  // stopped meanwhile: its release is queued behind the open
  if (outcome != Outcome::Done) {
    slot_.reset();
    playingName_.clear();
    OpenEnded(false, {});
    Notice(outcome == Outcome::LoginFailed ? IDS_LOGIN_FAILED : IDS_PLAY_FAILED);
    return;
  }
  OpenEnded(true, AbilitiesOf(playingOrigin_.deviceType));
}

void CDlgPlaybackController::ReleaseSlot() {
  QueueRelease(slot_, [](CDevRemotePlayback* p) {
    p->Stop();
    CDevRemotePlaybackFactory::DeleteRemotePlayback(p);
  });
  slot_.reset();
  playingName_.clear();
}

void CDlgPlaybackController::ChangeSpeed(int (CDevRemotePlayback::*change)(), bool anyType) {
  if (!slot_ || IsOpening()) return;
  // A paused-by-speed recorder first goes back to normal play.
  const bool resume = state_ == PlayState::kSpeedOrFrame && (anyType || playingOrigin_.deviceType == DEV_TYPE_DVR);
  OnSlot(slot_, [change, resume](CDevRemotePlayback& p) {
    if (resume) p.Resume();
    (p.*change)();
  });
  SetPlayState(PlayState::kSpeedOrFrame);
}

void CDlgPlaybackController::Slow() { ChangeSpeed(&CDevRemotePlayback::Slow, false); }
void CDlgPlaybackController::Fast() { ChangeSpeed(&CDevRemotePlayback::Fast, false); }

void CDlgPlaybackController::FrameForward() {
  if (Abilities().frameForward) ChangeSpeed(&CDevRemotePlayback::Frame, true);
}

// No device steps a remote file backwards: the page shows the button unavailable.
void CDlgPlaybackController::FrameBack() {}

void CDlgPlaybackController::QueueCapture(const std::string& nativePath, std::function<void(bool)> done) {
  AskSlot<CDevRemotePlayback, bool>(
      slot_, false, [nativePath](CDevRemotePlayback& p) { return p.CaptureFile(nativePath.c_str()) != 0; },
      std::move(done));
}

void CDlgPlaybackController::QueueSound(bool on) {
  OnSlot(slot_, [on](CDevRemotePlayback& p) { on ? p.AudioOn() : p.AudioOff(); });
}

void CDlgPlaybackController::QueueVolume(int value) {
  OnSlot(slot_, [value](CDevRemotePlayback& p) { p.Volume(value); });
}

void CDlgPlaybackController::VolumeMoved(int value) {
  if (value == lastVolume_) return;
  if (slot_) QueueVolume(value);
  lastVolume_ = value;
}

void CDlgPlaybackController::QueueSeek(int value) {
  OnSlot(slot_, [value](CDevRemotePlayback& p) { p.SetPos(static_cast<float>(value)); });
}

void CDlgPlaybackController::QueuePosition(std::function<void(float)> done) {
  AskSlot<CDevRemotePlayback, float>(slot_, -1.0f, [](CDevRemotePlayback& p) { return p.GetPos(); },
                                     std::move(done));
}

void CDlgPlaybackController::AtPosition(float percent) {
  if (percent >= 0) ui_.SetPosition(static_cast<int>(percent));
  if (percent >= kEndPercent) Stop();
}

// ---- downloading

void CDlgPlaybackController::ReleaseDownload() {
  if (!download_) return;
  downloadTimer_.stop();
  devwork::RunRelease(downloadQueue_, [slot = download_] {
    if (CDevRemoteFileDownloader* d = slot->object) {
      slot->object = nullptr;
      d->Stop();
      CDevRemoteFileDownloaderFactory::DeleteDownloader(d);
    }
  });
  download_.reset();
  downloadStarting_ = downloadPolling_ = false;
}

void CDlgPlaybackController::Download() {
  if (download_) {
    ReleaseDownload();
    ui_.SetProgressText(LoadResString(IDS_DOWNLOAD_STOPPED));
    return;
  }
  if (chosen_.name.empty()) return;
  CDevice* device = OriginDevice(chosenOrigin_);
  if (!device) return;
  const int type = device->GetDevType();
  if (type != DEV_TYPE_DVR && type != DEV_TYPE_NVR) return;
  const std::u16string folder = CLocalSettings::GetInstance()->GetDownLoadPath();
  // Made when missing; the download goes on either way, and fails there if it must.
  MakeFolder(folder);
  downloadPath_ = folder + playback_names::DownloadFileName(type, device->GetDevInfo().GetName(),
                                                            chosenOrigin_.channelIndex + 1, StampOf(chosen_.start),
                                                            StampOf(chosen_.end), chosen_.name);
  auto slot = std::make_shared<DownloadSlot>();
  download_ = slot;
  downloadQueue_ = chosenOrigin_.deviceGuid;
  downloadStarting_ = true;
  // On its way: the box says so until the device answers.
  ui_.SetProgressText(LoadResString(IDS_DOWNLOADING));
  const std::string remote = CTChar(chosen_.name).GetNarrow();
  const std::string local = plat::toNativePath(downloadPath_);
  devwork::Ask<Outcome>(
      downloadQueue_,
      [device, slot, remote, local]() -> Outcome {
        bool loginFailed = false;
        IDevUserLogin* login = LoggedIn(device, loginFailed);
        if (!login) return loginFailed ? Outcome::LoginFailed : Outcome::NoObject;
        CDevRemoteFileDownloader* d =
            CDevRemoteFileDownloaderFactory::CreateDownloader(login, remote.c_str(), local.c_str());
        if (!d) return Outcome::NoObject;
        // Held from here, started or not: the next Download click lets it go.
        slot->object = d;
        return d->Start() ? Outcome::Done : Outcome::StartFailed;
      },
      [this, slot](Outcome outcome) { DownloadStarted(slot, outcome); }, owner_, Outcome::NoObject);
}

void CDlgPlaybackController::DownloadStarted(const std::shared_ptr<DownloadSlot>& slot, Outcome outcome) {
  if (slot != download_) return;  // stopped meanwhile
  downloadStarting_ = false;
  if (outcome == Outcome::Done) {
    downloadTimer_.start();
    return;
  }
  PLAT_LOGW(kLog, "download of a remote file did not start");
  // A downloader that would not start stays held, and the page busy, until the next Download
  // click; one that was never made holds nothing.
  if (outcome != Outcome::StartFailed) download_.reset();
  ui_.SetProgressText(LoadResString(IDS_DOWNLOAD_FAILED));
  Notice(outcome == Outcome::LoginFailed ? IDS_LOGIN_FAILED : IDS_DOWNLOAD_NOT_STARTED);
}

void CDlgPlaybackController::PollDownload() {
  if (!download_ || downloadStarting_ || downloadPolling_) return;
  downloadPolling_ = true;
  auto slot = download_;
  devwork::Ask<int>(
      downloadQueue_, [slot] { return slot->object ? slot->object->GetPos() : -1; },
      [this, slot](int p) {
        if (slot != download_) return;
        downloadPolling_ = false;
        if (p >= 100) {
          ReleaseDownload();
          ui_.SetProgressText(u"Finish");
        } else if (p < 0) {
          ReleaseDownload();
          ui_.SetProgressText(u"Failed");
        } else {
          ui_.SetProgressText(plat::utf8ToUtf16(std::to_string(p) + "%"));
        }
      },
      owner_, -1);
}
