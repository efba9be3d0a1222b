#include "view/DlgLPlayback.h"

#include <sys/stat.h>

#include <QCalendarWidget>
#include <QComboBox>
#include <ctime>
#include <filesystem>

#include "controls/BitmapButtonEx.h"
#include "controls/SliderControlEx.h"
#include "devices/Device.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/DiskHelpers.h"
#include "shell/FileFindEx.h"
#include "shell/LocalSettings.h"
#include "view/PlayScreen.h"
#include "view/ViewMessages.h"

namespace fs = std::filesystem;
using namespace playback_names;

namespace {

constexpr uint32_t IDS_SEARCH_DONE = 8534;
constexpr uint32_t IDS_CHOOSE_FILE = 8335;
constexpr uint32_t IDS_ALREADY_PLAYING = 8370;
constexpr uint32_t IDS_NO_SUCH_FILE = 8537;
constexpr int kPositionMs = 1000;
constexpr float kEndFraction = 0.995f;

// Kinds of the combo: the folders they walk.
constexpr int kKindAll = 255, kKindManual = 0, kKindDownloads = 2;

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

CDlgLPlayback::CDlgLPlayback() : CPlaybackPageBase(kTemplateId, false) {
  m_positionTimer.setInterval(kPositionMs);
  QObject::connect(&m_positionTimer, &QTimer::timeout, this, [this] { OnPositionTimer(); });
}

CDlgLPlayback::~CDlgLPlayback() {
  m_positionTimer.stop();
  StopWorker();
  if (m_player) {
    m_player->Stop();
    m_player->Close();
    CDevLocalPlaybackFactory::DeleteDevLocalPlayback(m_player);
    m_player = nullptr;
  }
}

bool CDlgLPlayback::OnInitDialog() {
  if (!CPlaybackPageBase::OnInitDialog()) return false;
  AddTypeRow(8308, kKindAll);
  AddTypeRow(8263, kKindManual);
  AddTypeRow(8333, 1);
  AddTypeRow(8334, kKindDownloads);
  m_typeCombo->setCurrentIndex(0);
  return true;
}

bool CDlgLPlayback::MatchLocalFile(const std::u16string& path, const Filter& filter, FoundFile& out) {
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
      if (!ParseShortRecordingName(name, FolderOfPath(path), parsed)) return false;
      if (!SameTextNoCase(parsed.ip, filter.ip) || parsed.port != filter.port ||
          parsed.channel - 1 != filter.channelIndex)
        return false;
      if (parsed.start < filter.dayStart || parsed.start > filter.dayEnd) return false;
      end = LastWriteStamp(path);
      if (end.empty()) end = filter.dayEnd;
      break;
    case LocalKind::Download: {
      std::u16string device;
      if (!ParseDownloadName(name, device, parsed)) return false;
      if (!SameTextNoCase(device, FileNamePart(filter.deviceName)) ||
          parsed.channel - 1 != filter.channelIndex)
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

void CDlgLPlayback::OnFind() {
  CDevice* device = nullptr;
  int channel = -1;
  if (!ChooseChannel(device, channel)) return;
  const QDate day = m_calendar->selectedDate();
  Filter filter;
  filter.deviceName = device->GetDevInfo().GetName();
  filter.ip = device->GetDevInfo().GetIP();
  filter.port = device->GetDevInfo().GetPort();
  filter.channelIndex = channel;
  filter.dayStart = MakeStamp(day.year(), day.month(), day.day(), 0, 0, 0);
  filter.dayEnd = MakeStamp(day.year(), day.month(), day.day(), 23, 59, 59);
  const int kind = CurrentTypeData();
  const SearchOrigin origin{device->GetGuid(), channel, device->GetDevType()};
  // The walk reads files only: it does not hold the device.
  const bool started = StartSearch({}, [this, filter, kind]() -> int {
    std::vector<std::u16string> folders;
    if (kind == kKindAll || kind == kKindManual) {
      std::vector<std::u16string> roots;
      ListFixedDrives(roots);
      for (const std::u16string& root : roots) {
        const std::u16string folder = root + u"RecordFile\\";
        if (IsDirectory(folder)) folders.push_back(folder);
      }
    }
    if (kind == kKindAll || kind == kKindDownloads)
      folders.push_back(CLocalSettings::GetInstance()->GetDownLoadPath());
    struct Context {
      CDlgLPlayback* page;
      const Filter* filter;
    } context{this, &filter};
    CFileFindEx walker;
    walker.SetCallback(
        [](std::u16string path, uint32_t, void* user) {
          auto* c = static_cast<Context*>(user);
          FoundFile f;
          if (c && MatchLocalFile(path, *c->filter, f)) c->page->Found(std::move(f));
        },
        &context);
    int notice = SetAbort([&walker] { walker.Stop(); }) ? static_cast<int>(IDS_SEARCH_DONE) : 0;
    for (const std::u16string& folder : folders) {
      if (!notice || Cancelled() || !walker.FindFiles(folder)) {
        notice = 0;
        break;
      }
    }
    SetAbort(nullptr);
    return notice;
  });
  if (!started) return;
  m_resultsOrigin = origin;
  m_chosenFile.clear();
}

void CDlgLPlayback::OnCellClicked(int index) {
  const std::u16string name = m_timeBar->GetCellName(index);
  if (name.empty()) return;
  if (name == m_chosenFile && IsPlaying()) return;
  m_chosenFile = name;
  m_chosenOrigin = m_resultsOrigin;
  OnStop();
  OnPlay();
}

void CDlgLPlayback::OnPlay() {
  const plat::WindowHandle wnd = PlayWindow();
  if (!wnd) return;
  if (m_player) {
    if (m_state == 0) {
      m_player->Pause(1);
      SetPlayState(1);
    } else {
      const int type = m_playingOrigin.deviceType;
      if (type == DEV_TYPE_IPC || type == DEV_TYPE_NVR)
        m_player->Play(static_cast<HWND>(wnd));
      else
        m_player->Pause(0);
      SetPlayState(0);
    }
    return;
  }
  if (m_chosenFile.empty()) {
    Notice(IDS_CHOOSE_FILE);
    return;
  }
  if (m_chosenFile == m_playingPath) {
    Notice(IDS_ALREADY_PLAYING);
    return;
  }
  const std::string native = plat::toNativePath(m_chosenFile);
  std::error_code ec;
  if (!fs::is_regular_file(native, ec)) {
    Notice(IDS_NO_SUCH_FILE);
    return;
  }
  CDevice* device = OriginDevice(m_chosenOrigin);
  if (!device) return;
  m_position->setValue(0);
  IDevLocalPlayback* player = CDevLocalPlaybackFactory::CreateDevLocalPlayback(device->GetUserLogin(1));
  if (!player) return;
  if (!player->Open(native.c_str(), static_cast<HWND>(wnd))) {
    CDevLocalPlaybackFactory::DeleteDevLocalPlayback(player);
    return;
  }
  if (!player->Play(static_cast<HWND>(wnd))) {
    player->Close();
    CDevLocalPlaybackFactory::DeleteDevLocalPlayback(player);
    return;
  }
  m_player = player;
  m_playingPath = m_chosenFile;
  m_playingOrigin = m_chosenOrigin;
  m_sound = 0;
  SetPlayState(0);
  m_volume->setValue(m_volume->maximum());
  m_positionTimer.start();
}

void CDlgLPlayback::StopSlot() {
  if (!m_player) return;
  m_positionTimer.stop();
  m_player->Stop();
  m_player->Close();
  CDevLocalPlaybackFactory::DeleteDevLocalPlayback(m_player);
  m_player = nullptr;
  m_playingPath.clear();
  ClearSlot();
}

void CDlgLPlayback::StopDeviceWork(const std::u16string& deviceGuid) {
  if (m_player && m_playingOrigin.deviceGuid == deviceGuid) OnStop();
}

void CDlgLPlayback::Drive(int (IDevLocalPlayback::*step)(), int state) {
  if (!m_player) return;
  (m_player->*step)();
  SetPlayState(state);
}

// A speed change plays on; a frame step leaves the picture paused.
void CDlgLPlayback::OnSlow() { Drive(&IDevLocalPlayback::Slow, 0); }
void CDlgLPlayback::OnFast() { Drive(&IDevLocalPlayback::Fast, 0); }
void CDlgLPlayback::OnFrameBack() { Drive(&IDevLocalPlayback::StepBack, 1); }
void CDlgLPlayback::OnFrameForward() { Drive(&IDevLocalPlayback::Step, 1); }

bool CDlgLPlayback::SlotCapture(const char* nativePath) { return m_player->CapturePicture(nativePath, 1); }

void CDlgLPlayback::SlotSound(bool on) {
  if (on)
    m_player->PlaySound();
  else
    m_player->StopSound();
}

void CDlgLPlayback::SlotVolume(int value) { m_player->SetVolume(value); }

void CDlgLPlayback::OnVolumeMoved(int value) {
  if (m_player) m_player->SetVolume(value);
}

void CDlgLPlayback::OnPositionMoved(int value) {
  if (m_player) m_player->SetPlayPos(static_cast<float>(value) / 100.0f);
}

void CDlgLPlayback::OnPositionTimer() {
  if (!m_player) return;
  const float p = m_player->GetPlayPos();
  m_position->setValue(static_cast<int>(p * 100));
  if (p >= kEndFraction) {
    OnStop();
    m_chosenFile.clear();
  }
}
