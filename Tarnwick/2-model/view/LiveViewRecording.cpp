// The live view's model: snapshots and manual recording of the active window, the record
// file roll (by size and at midnight), and the page's timers with the watch over live
// windows that stopped getting pictures.
#include <algorithm>
#include <cstdio>

#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "plat/clock.h"
#include "plat/log.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/Disks.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "shell/StringIds.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "view/LiveViewModel.h"
#include "view/PreviewManager.h"
#include "view/RecordFileRing.h"

namespace {

std::u16string U16(const std::string& utf8) { return plat::utf8ToUtf16(utf8); }

}  // namespace

// --- snapshot and recording ------------------------------------------------------------------

void CLiveViewModel::Snapshot() {
  PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(ActiveIndex());
  if (!item) return;
  CLocalSettings* settings = CLocalSettings::GetInstance();
  if (!settings) return;
  std::u16string folder = settings->GetPictureSavePath();
  while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
  // A folder that cannot be made is not said here: the snapshot fails there and says so.
  MakeFolder(folder);
  const std::tm t = Now();
  char name[256];
  std::snprintf(name, sizeof name, "\\Preview_%02d_%04d%02d%02d_%02d%02d%02d_%u.bmp", item->GetChannel(),
                t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, plat::tickCount());
  std::u16string file = folder + U16(name);
  if (file.size() > 255) file.resize(255);
  const std::u16string path = U16(plat::toNativePath(file));
  devwork::Ask<bool>(
      item->GetDeviceGuid(), [item, path] { return item->CapturePicture(path, 0); },
      [this, file](bool ok) { Say(TextWithPath(ok ? IDS_SNAPSHOT_OK : IDS_SNAPSHOT_FAILED, file)); }, owner_, false);
}

void CLiveViewModel::ToggleRecord() {
  CUser* user = CUser::GetInstance();
  if (!user || user->GetName().empty()) return;
  if (!user->HasRight(RIGHT_LOCAL_RECORD)) {
    Notice(IDS_NO_RIGHT_LOCAL_RECORD);
    return;
  }
  PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(ActiveIndex());
  if (!item) {
    Notice(IDS_OPEN_PREVIEW_FIRST);
    return;
  }
  CDevice* device = DeviceOfItem(*item);
  const std::u16string guid = item->GetDeviceGuid();
  const int channel = item->GetChannel();
  if (item->IsRecording()) {
    devwork::Run(
        guid, [item] { item->StopRecord(); },
        [this, guid, channel] { RefreshChannelNode(CDeviceManager::GetInstance()->FindDevice(guid, 1), channel); },
        owner_);
    return;
  }
  CLocalSettings* settings = CLocalSettings::GetInstance();
  std::u16string root;
  if (!settings || !settings->GetRecordPath(root)) {
    Notice(IDS_DISK_RESERVE);
    return;
  }
  MakeFolder(root);
  std::u16string file;
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  if (!device || !ring ||
      !ring->NewRecordFile(device->GetDevType(), device->GetDevInfo().GetName(), item->GetChannel(), file)) {
    // Disks that are full and cannot be freed are said to be full, and a ring whose record.db
    // could not be opened says why, as the start did: neither is a setting set up wrongly.
    if (ring && ring->LastFailure() == CRecordFileRing::Failure::NoDatabase && !ring->DatabaseProblem().empty())
      Say(ring->DatabaseProblem());
    else
      Notice(ring && ring->LastFailure() == CRecordFileRing::Failure::DisksFull ? IDS_DISK_RESERVE
                                                                                 : IDS_RECORD_SETTINGS);
    return;
  }
  StartRecording(item, file, [this, guid, channel](bool ok) {
    if (ok) RefreshChannelNode(CDeviceManager::GetInstance()->FindDevice(guid, 1), channel);
    if (!recordTimer_) {
      recordTimer_ = true;
      if (host_.startTimer) host_.startTimer(kRecordTimer, kRecordMs, false);
    }
    Notice(ok ? IDS_RECORD_OK : IDS_RECORD_FAILED);
  });
}

void CLiveViewModel::StartRecording(const PreviewItemPtr& item, const std::u16string& file,
                                    std::function<void(bool ok)> then) {
  devwork::Ask<bool>(
      item->GetDeviceGuid(), [item, file] { return item->StartRecord(0, file); },
      [file, then = std::move(then)](bool ok) {
        // A start that failed leaves no row for a file that never came to be.
        if (!ok)
          if (CRecordFileRing* ring = CRecordFileRing::GetInstance()) ring->DropRecordFile(file);
        then(ok);
      },
      owner_, false);
}

void CLiveViewModel::RollRecording(const PreviewItemPtr& item) {
  const int window = item->GetWindow();
  if (!rolling_.insert(window).second) return;  // the last roll is still on its way
  const std::u16string guid = item->GetDeviceGuid();
  const int channel = item->GetChannel();
  auto failed = [this, guid, channel, window] {
    // The window is left without recording; the user has to know it stopped.
    PLAT_LOGW("preview", "record file roll failed on window %d", window);
    CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
    Notice(IDS_ROLL_FAILED, device ? device->GetDevInfo().GetName() : std::u16string());
    RefreshChannelNode(device, channel);
  };
  // The old file is closed before the ring makes the next one (on the UI thread, which owns
  // the ring), then the recording goes on in it.
  const bool queued = devwork::Run(
      guid, [item] { item->StopRecord(); },
      [this, item, guid, channel, window, failed] {
        CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
        CRecordFileRing* ring = CRecordFileRing::GetInstance();
        // A window closed meanwhile has nothing left to record.
        if (!device || !ring || !CPreviewManager::GetInstance()->Holds(item)) {
          rolling_.erase(window);
          return;
        }
        std::u16string file;
        if (!ring->NewRecordFile(device->GetDevType(), device->GetDevInfo().GetName(), channel, file)) {
          rolling_.erase(window);
          failed();
          return;
        }
        StartRecording(item, file, [this, window, failed](bool ok) {
          rolling_.erase(window);
          if (!ok) failed();
        });
      },
      owner_);
  // Its device left the list: nothing is recorded there any more, and no roll is on its way.
  if (!queued) rolling_.erase(window);
}

void CLiveViewModel::ScheduleMidnightRoll(const std::tm& now) {
  // Each window's current file now: a window whose file changed before midnight (rolled by
  // size, restarted by the user) has its new file already and is not rolled again.
  midnightFiles_.clear();
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  CPreviewManager* manager = CPreviewManager::GetInstance();
  for (int w = 0; w < ILiveScreen::kWindowCount; ++w) {
    PreviewItemPtr item = manager->FindByWindow(w);
    if (!item || !item->IsRecording()) continue;
    CDevice* device = DeviceOfItem(*item);
    if (!device || !ring) continue;
    midnightFiles_.emplace_back(w, ring->GetCurrentFile(device->GetDevInfo().GetName(), item->GetChannel()));
  }
  midnightPending_ = true;
  const int ms = ((59 - now.tm_min) * 60 + (60 - now.tm_sec)) * 1000 + 500;
  if (host_.startTimer) host_.startTimer(kMidnightTimer, std::max(ms, 500), true);
}

// --- timers ----------------------------------------------------------------------------------

void CLiveViewModel::OnTimer(int id) {
  CPreviewManager* manager = CPreviewManager::GetInstance();
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  if (id == kRefreshTimer) {
    OnRefreshTree();
    return;
  }
  if (id == kVideoWatchTimer) {
    WatchVideo();
    return;
  }
  if (id == kMidnightTimer) {
    midnightPending_ = false;
    for (const auto& [w, fileThen] : midnightFiles_) {
      PreviewItemPtr item = manager->FindByWindow(w);
      if (!item || !item->IsRecording() || !ring) continue;
      CDevice* device = DeviceOfItem(*item);
      if (!device) continue;
      if (ring->GetCurrentFile(device->GetDevInfo().GetName(), item->GetChannel()) != fileThen) continue;
      RollRecording(item);
    }
    midnightFiles_.clear();
    return;
  }
  if (id != kRecordTimer) return;
  for (int w = 0; w < ILiveScreen::kWindowCount; ++w) {
    PreviewItemPtr item = manager->FindByWindow(w);
    if (!item || !item->IsRecording() || !ring) continue;
    CDevice* device = DeviceOfItem(*item);
    if (!device) continue;
    const std::u16string current = ring->GetCurrentFile(device->GetDevInfo().GetName(), item->GetChannel());
    if (ring->NeedNewFile(current)) RollRecording(item);
  }
  const std::tm now = Now();
  if (!midnightPending_ && now.tm_hour == 23 && now.tm_min == 59 && now.tm_sec > 40) ScheduleMidnightRoll(now);
}

void CLiveViewModel::WatchVideo() {
  CPreviewManager* manager = CPreviewManager::GetInstance();
  const int64_t now = plat::tickCount();
  for (int w = 0; w < ILiveScreen::kWindowCount; ++w) {
    ILiveWindow* wnd = WndOf(w);
    PreviewItemPtr item = manager->FindByWindow(w);
    if (!wnd || !item || wnd->GetSafeHwnd() != item->GetPlayWnd()) continue;
    const ILiveWindow::Watch change = wnd->WatchPictures(now);
    if (change == ILiveWindow::Watch::kSame) continue;
    CDevice* device = DeviceOfItem(*item);
    const std::u16string name = device ? device->GetDevInfo().GetName() : item->GetDeviceGuid();
    const std::string where = plat::utf16ToUtf8(name) + " channel " + std::to_string(item->GetChannel());
    if (change == ILiveWindow::Watch::kBack) {
      PLAT_LOGI("preview", "window %d: pictures of %s are back", w, where.c_str());
      continue;
    }
    // The device stopped sending without a word: the window says so instead of holding its
    // last picture, and the user is told once for the window.
    PLAT_LOGW("preview", "window %d: no picture from %s for %d s", w, where.c_str(), ILiveWindow::kLostAfterMs / 1000);
    Say(LoadResString(IDS_VIDEO_LOST_NOTICE) + name + u" " + LoadResString(IDS_CHANNEL) +
        U16((item->GetChannel() < 10 ? "0" : "") + std::to_string(item->GetChannel())));
  }
}
