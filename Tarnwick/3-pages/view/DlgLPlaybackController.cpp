#include "view/DlgLPlaybackController.h"

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <vector>

#include "devices/Device.h"
#include "plat/paths.h"
#include "shell/DiskHelpers.h"
#include "shell/FileFindEx.h"
#include "shell/LocalSettings.h"
#include "shell/StringIds.h"
#include "shell/Text.h"

namespace fs = std::filesystem;
using namespace playback_names;

namespace {

TIME TimeOf(const Stamp& s) {
  if (!IsStamp(s)) return TIME{};
  auto num = [&](size_t at, size_t n) { return std::stoi(s.substr(at, n)); };
  return TIME{num(0, 4), num(4, 2), num(6, 2), num(8, 2), num(10, 2), num(12, 2)};
}

// The file's last write as a stamp; empty when it cannot be read.
Stamp LastWriteStamp(const std::u16string& path) {
  struct stat st {};
  if (::lstat(plat::toNativePath(path).c_str(), &st) != 0) return {};
  std::tm tm{};
  const time_t t = st.st_mtime;
  if (!localtime_r(&t, &tm)) return {};
  return MakeStamp(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

bool IsDirectory(const std::u16string& folder) {
  std::error_code ec;
  return fs::is_directory(plat::toNativePath(folder), ec);
}

}  // namespace

CDlgLPlaybackController::CDlgLPlaybackController(IPlaybackPageUi& ui) : CPlaybackPageController(ui, kPositionMs) {}

CDlgLPlaybackController::~CDlgLPlaybackController() { ReleaseSlot(); }

bool CDlgLPlaybackController::MatchLocalFile(const std::u16string& path, const Filter& filter, FoundFile& out) {
  const std::u16string name = NameOfPath(path);
  ParsedName parsed;
  Stamp end;
  switch (ClassifyLocalFile(path)) {
    case LocalKind::Recording:
      if (!ParseRecordingName(name, filter.deviceName, parsed)) return false;
      if (parsed.channel - 1 != filter.channelIndex) return false;
      if (parsed.start < filter.dayStart || parsed.start > filter.dayEnd) return false;
      end = LastWriteStamp(path);
      if (end.empty()) end = filter.dayEnd;
      break;
    case LocalKind::ShortRecording:
      // Such a name tells no end: the cell ends at 00:00:00 and is drawn at its start.
      if (!ParseShortRecordingName(name, FolderOfPath(path), parsed)) return false;
      if (!SameTextNoCase(parsed.ip, filter.ip) || parsed.port != filter.port ||
          parsed.channel - 1 != filter.channelIndex)
        return false;
      if (parsed.start < filter.dayStart || parsed.start > filter.dayEnd) return false;
      break;
    case LocalKind::Download: {
      std::u16string device;
      if (!ParseDownloadName(name, device, parsed)) return false;
      if (!SameDevicePart(device, filter.deviceName) || parsed.channel - 1 != filter.channelIndex)
        return false;
      if (parsed.start < filter.dayStart || parsed.end > filter.dayEnd) return false;
      end = parsed.end;
      break;
    }
    default:
      return false;
  }
  out.name = path;
  out.start = TimeOf(parsed.start);
  out.end = TimeOf(end);
  return true;
}

bool CDlgLPlaybackController::StartSearch(const std::shared_ptr<CPlaybackSearch>& search, const SearchRequest& r) {
  Filter filter;
  filter.deviceName = r.device->GetDevInfo().GetName();
  filter.ip = r.device->GetDevInfo().GetIP();
  filter.port = r.device->GetDevInfo().GetPort();
  filter.channelIndex = r.channelIndex;
  filter.dayStart = MakeStamp(r.year, r.month, r.day, 0, 0, 0);
  filter.dayEnd = MakeStamp(r.year, r.month, r.day, 23, 59, 59);
  const int kind = r.kind;
  const std::u16string downloads = CLocalSettings::GetInstance()->GetDownLoadPath();
  // The walk reads files only: it does not hold the device.
  searchDevice_.clear();
  return devwork::Run<uint32_t>(
      kWalkQueue,
      [filter, kind, downloads, search]() -> uint32_t {
        std::vector<std::u16string> folders;
        if (kind == kKindAll || kind == kKindManual) {
          std::vector<std::u16string> roots;
          ListFixedDrives(roots);
          for (const std::u16string& root : roots) {
            const std::u16string folder = root + u"RecordFile\\";
            if (IsDirectory(folder)) folders.push_back(folder);
          }
        }
        if (kind == kKindAll || kind == kKindDownloads) folders.push_back(downloads);
        CFileFindEx walker;
        std::pair<const Filter*, CPlaybackSearch*> context{&filter, search.get()};
        walker.SetCallback(
            [](std::u16string path, uint32_t, void* user) {
              auto* c = static_cast<std::pair<const Filter*, CPlaybackSearch*>*>(user);
              FoundFile f;
              if (MatchLocalFile(path, *c->first, f)) c->second->Found(std::move(f));
            },
            &context);
        // A cancel stops the walk at its next entry.
        uint32_t notice = search->SetAbort([&walker] { walker.Stop(); }) ? IDS_SEARCH_DONE : 0;
        for (const std::u16string& folder : folders) {
          if (!notice || search->Cancelled() || !walker.FindFiles(folder)) {
            notice = 0;
            break;
          }
        }
        search->SetAbort(nullptr);
        return notice;
      },
      // A walk that failed ends without a word, as one the abort could not be set for.
      [this, search](uint32_t notice) { EndSearch(search, notice); }, owner_, 0u);
}

void CDlgLPlaybackController::CellClicked(int index) {
  const std::u16string name = ui_.CellName(index);
  if (name.empty()) return;
  if (name == chosenFile_ && IsPlaying()) return;
  chosenFile_ = name;
  chosenOrigin_ = resultsOrigin_;
  Stop();
  Play();
}

void CDlgLPlaybackController::Play() {
  if (IsOpening()) return;  // the press before has yet to be answered
  const plat::WindowHandle wnd = ui_.PlayWindow();
  if (!wnd) return;
  if (slot_) {
    if (state_ == PlayState::kPlaying) {
      OnSlot(slot_, [](IDevLocalPlayback& p) { p.Pause(1); });
      SetPlayState(PlayState::kPaused);
    } else {
      // A paused file player runs again with Play, a paused stream player with Pause(0).
      const int type = playingOrigin_.deviceType;
      if (type == DEV_TYPE_IPC || type == DEV_TYPE_NVR)
        OnSlot(slot_, [wnd](IDevLocalPlayback& p) { p.Play(static_cast<HWND>(wnd)); });
      else
        OnSlot(slot_, [](IDevLocalPlayback& p) { p.Pause(0); });
      SetPlayState(PlayState::kPlaying);
    }
    return;
  }
  if (chosenFile_.empty()) {
    Notice(IDS_CHOOSE_FILE);
    return;
  }
  if (chosenFile_ == playingPath_) {
    Notice(IDS_ALREADY_PLAYING);
    return;
  }
  const std::string native = plat::toNativePath(chosenFile_);
  std::error_code ec;
  if (!fs::is_regular_file(native, ec)) {
    Notice(IDS_NO_SUCH_FILE);
    return;
  }
  CDevice* device = OriginDevice(chosenOrigin_);
  if (!device) return;
  ui_.SetPosition(0);
  auto slot = std::make_shared<PlayerSlot>();
  slot_ = slot;
  playingPath_ = chosenFile_;
  BeginOpen(kPlayerQueue, chosenOrigin_, wnd);
  // Making the player logs a logged-out device in first: that exchange is the device's own
  // work and may wait for a device that does not answer, so it runs on the device's queue.
  devwork::Ask<IDevLocalPlayback*>(
      chosenOrigin_.deviceGuid,
      [device] { return CDevLocalPlaybackFactory::CreateDevLocalPlayback(device->GetUserLogin(1)); },
      [this, slot, native, wnd](IDevLocalPlayback* player) { OpenPlayer(slot, player, native, wnd); }, owner_,
      static_cast<IDevLocalPlayback*>(nullptr));
}

void CDlgLPlaybackController::OpenPlayer(const std::shared_ptr<PlayerSlot>& slot, IDevLocalPlayback* player,
                                         const std::string& native, plat::WindowHandle wnd) {
  if (slot != slot_) {  // stopped meanwhile: the player was never opened
    CDevLocalPlaybackFactory::DeleteDevLocalPlayback(player);
    return;
  }
  if (!player) {
    Opened(slot, false);
    return;
  }
  devwork::Ask<bool>(
      slotQueue_,
      [slot, player, native, wnd] {
        if (!player->Open(native.c_str(), static_cast<HWND>(wnd))) {
          player->Close();  // a refused file may still hold the player's port
          CDevLocalPlaybackFactory::DeleteDevLocalPlayback(player);
          return false;
        }
        if (!player->Play(static_cast<HWND>(wnd))) {
          player->Close();
          CDevLocalPlaybackFactory::DeleteDevLocalPlayback(player);
          return false;
        }
        slot->object = player;
        return true;
      },
      [this, slot](bool playing) { Opened(slot, playing); }, owner_, false);
}

void CDlgLPlaybackController::Opened(const std::shared_ptr<PlayerSlot>& slot, bool playing) {
  if (slot != slot_) return;  // stopped meanwhile: its release is queued behind the open
  if (!playing) {
    slot_.reset();
    playingPath_.clear();
    OpenEnded(false, {});
    return;
  }
  OpenEnded(true, PlayAbilities{});
  ui_.SetVolume(ui_.VolumeMaximum());
}

void CDlgLPlaybackController::ReleaseSlot() {
  QueueRelease(slot_, [](IDevLocalPlayback* p) {
    p->Stop();
    p->Close();
    CDevLocalPlaybackFactory::DeleteDevLocalPlayback(p);
  });
  slot_.reset();
  playingPath_.clear();
}

void CDlgLPlaybackController::Drive(int (IDevLocalPlayback::*step)(), PlayState state) {
  if (!slot_ || IsOpening()) return;
  OnSlot(slot_, [step](IDevLocalPlayback& p) { (p.*step)(); });
  SetPlayState(state);
}

// A speed change plays on; a frame step leaves the picture paused.
void CDlgLPlaybackController::Slow() { Drive(&IDevLocalPlayback::Slow, PlayState::kPlaying); }
void CDlgLPlaybackController::Fast() { Drive(&IDevLocalPlayback::Fast, PlayState::kPlaying); }
void CDlgLPlaybackController::FrameBack() { Drive(&IDevLocalPlayback::StepBack, PlayState::kPaused); }
void CDlgLPlaybackController::FrameForward() { Drive(&IDevLocalPlayback::Step, PlayState::kPaused); }

void CDlgLPlaybackController::QueueCapture(const std::string& nativePath, std::function<void(bool)> done) {
  AskSlot<IDevLocalPlayback, bool>(
      slot_, false, [nativePath](IDevLocalPlayback& p) { return p.CapturePicture(nativePath.c_str(), 1) != 0; },
      std::move(done));
}

void CDlgLPlaybackController::QueueSound(bool on) {
  OnSlot(slot_, [on](IDevLocalPlayback& p) { on ? p.PlaySound() : p.StopSound(); });
}

void CDlgLPlaybackController::QueueVolume(int value) {
  OnSlot(slot_, [value](IDevLocalPlayback& p) { p.SetVolume(value); });
}

void CDlgLPlaybackController::VolumeMoved(int value) { SendVolume(value); }

void CDlgLPlaybackController::QueueSeek(int value) {
  OnSlot(slot_, [value](IDevLocalPlayback& p) { p.SetPlayPos(static_cast<float>(value) / 100.0f); });
}

void CDlgLPlaybackController::QueuePosition(std::function<void(float)> done) {
  AskSlot<IDevLocalPlayback, float>(
      slot_, -1.0f, [](IDevLocalPlayback& p) { return p.GetPlayPos() * 100.0f; }, std::move(done));
}

void CDlgLPlaybackController::AtPosition(float percent) {
  if (percent < 0) return;
  const int p = static_cast<int>(percent);
  ui_.SetPosition(p);
  // The end is where the player says the file ends, after its last picture.
  if (p >= 100) {
    Stop();
    chosenFile_.clear();
  }
}
