#include "view/DlgPlayback.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <filesystem>

#include "controls/BitmapButtonEx.h"
#include "controls/SliderControlEx.h"
#include "devices/Device.h"
#include "plat/log.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "view/PlayScreen.h"
#include "view/PlaybackNames.h"
#include "view/ViewMessages.h"

namespace {

constexpr uint32_t IDS_LOGIN_FAILED = 8601;
constexpr uint32_t IDS_SEARCH_FAILED = 8514;
constexpr uint32_t IDS_SEARCH_DONE = 8534;
constexpr uint32_t IDS_CHOOSE_FILE = 8335;
constexpr uint32_t IDS_DOWNLOADING = 8557;
constexpr uint32_t IDS_DOWNLOAD_FAILED = 8558;
constexpr uint32_t IDS_DOWNLOAD_STOPPED = 8559;
constexpr int kTimerMs = 100;
// A position this close to the end is the end: the device's last report may stop short of it.
constexpr float kEndPercent = 99.5f;
constexpr char kLog[] = "playback";

playback_names::Stamp StampOf(const TIME& t) {
  return playback_names::MakeStamp(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

}  // namespace

CDlgPlayback::CDlgPlayback() : CPlaybackPageBase(kTemplateId, true) {
  m_downloadTimer.setInterval(kTimerMs);
  m_positionTimer.setInterval(kTimerMs);
  QObject::connect(&m_downloadTimer, &QTimer::timeout, this, [this] { OnDownloadTimer(); });
  QObject::connect(&m_positionTimer, &QTimer::timeout, this, [this] { OnPositionTimer(); });
}

CDlgPlayback::~CDlgPlayback() {
  m_downloadTimer.stop();
  m_positionTimer.stop();
  StopWorker();
  ReleaseDownloader();
  if (m_playback) {
    m_playback->Stop();
    CDevRemotePlaybackFactory::DeleteRemotePlayback(m_playback);
    m_playback = nullptr;
  }
}

bool CDlgPlayback::OnInitDialog() {
  if (!CPlaybackPageBase::OnInitDialog()) return false;
  AddTypeRow(8308, 255);
  AddTypeRow(8264, 0);
  AddTypeRow(8347, 1);
  AddTypeRow(8336, 2);
  AddTypeRow(8348, 3);
  AddTypeRow(8263, 6);
  m_typeCombo->setCurrentIndex(0);
  m_volume->setRange(0, kVolumeMax);
  return true;
}

bool CDlgPlayback::IsBusy() const {
  return m_heldBusy || m_downloader || IsSearching() || m_state >= 0;
}

IDevUserLogin* CDlgPlayback::LoggedIn(CDevice* device) {
  IDevUserLogin* login = device->GetUserLogin(1);
  if (!login) return nullptr;
  if (!device->IsLoggedIn() && login->Login() == -1) {
    Notice(IDS_LOGIN_FAILED);
    return nullptr;
  }
  return login;
}

void CDlgPlayback::OnFind() {
  CDevice* device = nullptr;
  int channel = -1;
  if (!ChooseChannel(device, channel)) return;
  IDevUserLogin* login = LoggedIn(device);
  if (!login) return;
  // Everything the worker reads is taken here, on the page's thread.
  const QDate day = m_calendar->selectedDate();
  tagSearchFileCondition cond{};
  cond.channel = channel;
  cond.fileType = CurrentTypeData();
  cond.start = TIME{day.year(), day.month(), day.day(), 0, 0, 0};
  cond.end = TIME{day.year(), day.month(), day.day(), 23, 59, 59};
  const SearchOrigin origin{device->GetGuid(), channel, device->GetDevType()};
  // The login stays valid while the worker runs: the page ends the search before its device
  // lets the login go.
  const bool started = StartSearch(origin.deviceGuid, [this, login, cond]() mutable -> int {
    CDevRemoteFileFinder* finder = CDevRemoteFileFinderFactory::CreateFinder(login, &cond);
    if (!finder) return static_cast<int>(IDS_SEARCH_FAILED);
    // A cancel closes the finder from the page's thread, so a FindNext waiting for the
    // device's answer returns at once instead of at the end of the device layer's wait.
    if (SetAbort([finder] { finder->FindClose(); })) {
      tagRemoteFileInfo info{};
      while (!Cancelled() && finder->FindNext(&info)) {
        FoundFile f;
        info.fileName[sizeof info.fileName - 1] = 0;
        f.name = CTChar(info.fileName).Wide();
        f.start = info.start;
        f.end = info.end;
        if (!Found(std::move(f))) break;
        info = tagRemoteFileInfo{};
      }
    }
    SetAbort(nullptr);
    finder->FindClose();
    CDevRemoteFileFinderFactory::DeleteFinder(finder);
    return static_cast<int>(IDS_SEARCH_DONE);
  });
  if (!started) return;
  m_results.clear();
  m_resultsOrigin = origin;
}

void CDlgPlayback::OnFileFound(const FoundFile& file) { m_results.push_back(file); }

void CDlgPlayback::StopDeviceWork(const std::u16string& deviceGuid) {
  if (m_playback && m_playingOrigin.deviceGuid == deviceGuid) OnStop();
  if (m_downloader && m_downloadOrigin.deviceGuid == deviceGuid) {
    ReleaseDownloader();
    SetProgressText(QString::fromStdU16String(LoadResString(IDS_DOWNLOAD_STOPPED)));
  }
}

void CDlgPlayback::OnCellClicked(int index) {
  const std::u16string name = m_timeBar->GetCellName(index);
  if (name.empty()) return;
  if (name == m_chosen.name && m_chosenOrigin.deviceGuid == m_resultsOrigin.deviceGuid &&
      m_chosenOrigin.channelIndex == m_resultsOrigin.channelIndex && IsBusy())
    return;
  for (const FoundFile& f : m_results) {
    if (f.name != name) continue;
    m_chosen = f;
    m_chosenOrigin = m_resultsOrigin;
    break;
  }
  OnStop();
  OnPlay();
}

void CDlgPlayback::OnPlay() {
  if (m_playback) {
    switch (m_state) {
      case 0:
        m_playback->Pause();
        SetPlayState(1);
        return;
      case 1:
        m_playback->Resume();
        SetPlayState(0);
        return;
      default:
        m_playback->Normal();
        SetPlayState(0);
        return;
    }
  }
  if (m_chosen.name.empty()) {
    Notice(IDS_CHOOSE_FILE);
    return;
  }
  CDevice* device = OriginDevice(m_chosenOrigin);
  if (!device) return;
  IDevUserLogin* login = LoggedIn(device);
  if (!login) return;
  m_position->setValue(0);
  m_volume->setValue(0);
  const plat::WindowHandle wnd = PlayWindow();
  if (!wnd) return;
  CDevRemotePlayback* playback = CDevRemotePlaybackFactory::CreateRemotePlayback(
      login, static_cast<HWND>(wnd), CTChar(m_chosen.name).GetNarrow());
  if (!playback) return;
  if (!playback->Start(0)) {
    CDevRemotePlaybackFactory::DeleteRemotePlayback(playback);
    return;
  }
  m_playback = playback;
  m_playingName = m_chosen.name;
  m_playingOrigin = m_chosenOrigin;
  m_sound = 0;
  SetPlayState(0);
  m_positionTimer.start();
}

void CDlgPlayback::StopSlot() {
  if (!m_playback) return;
  m_positionTimer.stop();
  m_playback->Stop();
  CDevRemotePlaybackFactory::DeleteRemotePlayback(m_playback);
  m_playback = nullptr;
  m_playingName.clear();
  ClearSlot();
}

void CDlgPlayback::ChangeSpeed(int (CDevRemotePlayback::*change)(), bool anyType) {
  if (!m_playback) return;
  // A paused-by-speed recorder first goes back to normal play.
  if (m_state == 2 && (anyType || m_playingOrigin.deviceType == DEV_TYPE_DVR)) {
    m_playback->Resume();
    m_state = 0;
  }
  (m_playback->*change)();
  SetPlayState(2);
}

void CDlgPlayback::OnSlow() { ChangeSpeed(&CDevRemotePlayback::Slow, false); }
void CDlgPlayback::OnFast() { ChangeSpeed(&CDevRemotePlayback::Fast, false); }
void CDlgPlayback::OnFrameForward() { ChangeSpeed(&CDevRemotePlayback::Frame, true); }

void CDlgPlayback::OnFrameBack() { SetPlayButton(0); }

bool CDlgPlayback::SlotCapture(const char* nativePath) { return m_playback->CaptureFile(nativePath); }

void CDlgPlayback::SlotSound(bool on) {
  if (on)
    m_playback->AudioOn();
  else
    m_playback->AudioOff();
}

void CDlgPlayback::SlotVolume(int value) {
  m_playback->Volume(value);
  m_lastVolume = value;
}

void CDlgPlayback::OnVolumeMoved(int value) {
  if (value == m_lastVolume) return;
  if (m_playback) m_playback->Volume(value);
  m_lastVolume = value;
}

void CDlgPlayback::OnPositionMoved(int value) {
  if (m_playback) m_playback->SetPos(static_cast<float>(value));
}

void CDlgPlayback::OnPositionTimer() {
  if (!m_playback) return;
  const float p = m_playback->GetPos();
  if (p >= 0) m_position->setValue(static_cast<int>(p));
  if (p >= kEndPercent) OnStop();
}

QString CDlgPlayback::ProgressText() const { return m_btnProgress ? m_btnProgress->text() : QString(); }

void CDlgPlayback::SetProgressText(const QString& text) {
  m_btnProgress->setText(text);
  m_btnProgress->repaint();
}

void CDlgPlayback::ReleaseDownloader() {
  if (!m_downloader) return;
  m_downloadTimer.stop();
  m_downloader->Stop();
  CDevRemoteFileDownloaderFactory::DeleteDownloader(m_downloader);
  m_downloader = nullptr;
}

void CDlgPlayback::OnDownloadTimer() {
  if (!m_downloader) return;
  const int p = m_downloader->GetPos();
  if (p >= 100) {
    SetProgressText(QStringLiteral("Finish"));
    ReleaseDownloader();
  } else if (p < 0) {
    SetProgressText(QStringLiteral("Failed"));
    ReleaseDownloader();
  } else {
    SetProgressText(QStringLiteral("%1%").arg(p));
  }
}

void CDlgPlayback::OnDownload() {
  if (m_downloader) {
    ReleaseDownloader();
    SetProgressText(QString::fromStdU16String(LoadResString(IDS_DOWNLOAD_STOPPED)));
    return;
  }
  if (m_chosen.name.empty()) return;
  CDevice* device = OriginDevice(m_chosenOrigin);
  if (!device) return;
  const int type = device->GetDevType();
  if (type != DEV_TYPE_DVR && type != DEV_TYPE_NVR) return;
  IDevUserLogin* login = LoggedIn(device);
  if (!login) return;
  const std::u16string folder = CLocalSettings::GetInstance()->GetDownLoadPath();
  std::error_code ec;
  std::filesystem::create_directories(plat::toNativePath(folder), ec);
  const std::u16string name = playback_names::DownloadFileName(
      type, device->GetDevInfo().GetName(), m_chosenOrigin.channelIndex + 1, StampOf(m_chosen.start),
      StampOf(m_chosen.end), m_chosen.name);
  m_downloadPath = folder + name;
  const std::string native = plat::toNativePath(m_downloadPath);
  m_downloader = CDevRemoteFileDownloaderFactory::CreateDownloader(
      login, CTChar(m_chosen.name).GetNarrow(), native.c_str());
  if (!m_downloader) return;
  m_downloadOrigin = m_chosenOrigin;
  if (m_downloader->Start()) {
    m_downloadTimer.start();
    SetProgressText(QString::fromStdU16String(LoadResString(IDS_DOWNLOADING)));
  } else {
    // A download that never started is let go at once, so the page is not left busy.
    PLAT_LOGW(kLog, "download of a remote file did not start");
    ReleaseDownloader();
    SetProgressText(QString::fromStdU16String(LoadResString(IDS_DOWNLOAD_FAILED)));
  }
}
