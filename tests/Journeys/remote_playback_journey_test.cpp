// Remote playback as a user does it, on the remote playback page: a camera, which keeps no
// recordings, gives no search (the page says the search failed); Find and Play refused until a channel and a file are
// chosen; the recorder's channel 1 searched for today (scheduled only, then all kinds); a found
// file played with its pictures shown, the frame step the recorder cannot make shown unavailable,
// paused, stepped a frame, sped up, slowed down and back to normal, a snapshot taken, the sound
// switched on, its volume turned with the wheel and clicked on its bar, another file chosen on
// the time bar, that file downloaded (the bytes are the recorder's own), the file played to its
// end at the fastest speed, where the page stops by itself; a download into a folder that cannot
// be made fails, and its downloader is let go at the next Download click; the download asked for again of a recorder that has stopped answering fails
// and leaves the copy made before whole; and with the recorder gone, a download that cannot
// start is said to have failed.
#include <QCalendarWidget>
#include <QComboBox>
#include <QDate>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "PlaybackSteps.h"
#include "controls/BitmapButtonEx.h"
#include "controls/SliderControlEx.h"
#include "dvremu/services.h"
#include "plat/paths.h"
#include "shell/LocalSettings.h"
#include "view/DlgPlayback.h"
#include "view/PlayScreen.h"
#include "view/PlayWnd.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kScheduled = 8264, kEveryKind = 8308;  // kinds of recording in the page's list
constexpr unsigned kChooseChannel = 8252, kChooseFile = 8335;
constexpr unsigned kSearchFailed = 8514, kUnavailable = 9201, kDownloadNotStarted = 9203, kLoginFailed = 8601,
                   kDownloadFailed = 8558, kDownloadStopped = 8559;
constexpr size_t kFileNameAt = 8, kFileNameChars = 32;  // in the recorder's file requests
constexpr int kCameraFileChannel = 0xFF0A;              // where a camera-protocol device is searched

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class RemotePlaybackJourney : public PlaybackJourney {
 protected:
  bool RecorderGot(uint32_t command, size_t n) { return journey::AwaitRequests(recorder(), command, n); }
  // The file the recorder was asked for in its `index`-th request of `command`; empty when
  // there is no such request.
  std::string AskedFile(uint32_t command, size_t index) {
    const std::vector<journey::Logged> asked = journey::Requests(recorder(), command);
    return index < asked.size() ? asked[index].Text(kFileNameAt, kFileNameChars) : std::string();
  }

  // Find and Play before a channel with recordings is chosen. The camera keeps no recordings:
  // no search is made, the page says the search failed and asks the camera for no file. The
  // device rather than a channel chosen:
  // Find says to choose a channel; Play before any file is found says to choose a file.
  void FindAndPlayRefused(CDlgPlayback* page) {
    QTreeWidget* tree = page->GetDeviceTree();
    SelectItem(tree, ChannelItem(tree, kCameraName, 1));
    ClickId(page, CPlaybackPageBase::IDC_FIND);
    EXPECT_TRUE(WaitUntil([&] { return SaidNotice(kSearchFailed); })) << Said();
    EXPECT_TRUE(WaitUntil([&] { return !page->IsBusy(); }));
    EXPECT_TRUE(camera().LogLines("open " + std::to_string(kCameraFileChannel)).empty());
    SelectItem(tree, FindItem(tree, QString::fromStdU16String(kRecorderName)));
    ClickId(page, CPlaybackPageBase::IDC_FIND);
    EXPECT_TRUE(SaidNotice(kChooseChannel)) << Said();
    ClickId(page, CPlaybackPageBase::IDC_PLAY);
    EXPECT_TRUE(SaidNotice(kChooseFile)) << Said();
    EXPECT_FALSE(page->IsBusy());
  }

  // Paused: the picture stays; a step forward shows a later picture of the same file. Fast,
  // slow, then normal speed again: the pictures keep coming.
  void PauseStepAndChangeSpeed(CDlgPlayback* page, plat::WindowHandle wnd) {
    ClickId(page, CPlaybackPageBase::IDC_PLAY);
    EXPECT_EQ(page->GetPlayState(), PlayState::kPaused);
    int paused = -1;
    ASSERT_TRUE(Still(wnd, &paused));
    ClickId(page, CPlaybackPageBase::IDC_FRAME_FORWARD);
    EXPECT_EQ(page->GetPlayState(), PlayState::kSpeedOrFrame);
    EXPECT_TRUE(WaitUntil([&] { return journey::FrameShown(wnd) > paused; }))
        << paused << " then " << journey::FrameShown(wnd);
    ClickId(page, CPlaybackPageBase::IDC_FAST);
    EXPECT_EQ(page->GetPlayState(), PlayState::kSpeedOrFrame);
    ClickId(page, CPlaybackPageBase::IDC_SLOW);
    ClickId(page, CPlaybackPageBase::IDC_PLAY);
    EXPECT_EQ(page->GetPlayState(), PlayState::kPlaying);
    EXPECT_TRUE(Playing(wnd));
  }

  // Sound on: the volume turned by the wheel and by a click on its bar reaches the player;
  // then sound off.
  void TurnTheSound(CDlgPlayback* page) {
    auto* sound = Find<CStateButton>(page, CPlaybackPageBase::IDC_SOUND);
    auto* volume = Find<CSliderControlEx>(page, CPlaybackPageBase::IDC_VOLUME);
    ClickId(page, CPlaybackPageBase::IDC_SOUND);
    EXPECT_EQ(sound->GetState(), 1);
    EXPECT_EQ(volume->value(), volume->maximum());
    EXPECT_TRUE(ReachesPlayer([&] { Wheel(volume, -3); })) << "the wheel's volume did not reach the player";
    EXPECT_LT(volume->value(), volume->maximum());
    EXPECT_TRUE(ReachesPlayer([&] { ClickAt(volume, QPoint(volume->width() / 4, volume->height() / 2)); }))
        << "the click's volume did not reach the player";
    EXPECT_LT(volume->value(), volume->maximum() / 2);
    ClickId(page, CPlaybackPageBase::IDC_SOUND);
    EXPECT_EQ(sound->GetState(), 0);
  }

  // At the fastest speed the file plays to its end: the page stops by itself and is free.
  void PlayToItsEndAtTheFastestSpeed(CDlgPlayback* page, CSliderControlEx* position) {
    for (int i = 0; i < 4; ++i) ClickId(page, CPlaybackPageBase::IDC_FAST);
    ASSERT_TRUE(WaitUntil([&] { return page->GetPlayState() == PlayState::kIdle; })) << "position " << position->value();
    EXPECT_FALSE(page->IsBusy());
    EXPECT_EQ(position->value(), 0);
    EXPECT_TRUE(RecorderGot(dvremu::kReplayStop, 2)) << "the playback is stopped on the recorder";
  }

  // A download folder that cannot be made (a file stands in its way): the page goes on, the
  // download fails and says so, and no file is left. A downloader that would not start is held
  // (the page busy) until the next Download click lets it go.
  void DownloadIntoABlockedFolder(CDlgPlayback* page) {
    std::ofstream(fs::path(Drive('c')) / "Blocked").put('x');
    const std::u16string downloadFolder = CLocalSettings::GetInstance()->GetDownLoadPath();
    CLocalSettings::GetInstance()->SetDownLoadPath(u"C:\\Blocked\\Downloads\\");
    ClickId(page, CPlaybackPageBase::IDC_DOWNLOAD);
    EXPECT_TRUE(WaitUntil([&] {
      return page->ProgressText() == Text(kDownloadFailed) || page->ProgressText() == "Failed";
    })) << page->ProgressText().toStdString();
    if (page->IsBusy()) {
      ClickId(page, CPlaybackPageBase::IDC_DOWNLOAD);
      EXPECT_EQ(page->ProgressText(), Text(kDownloadStopped));
    }
    EXPECT_TRUE(WaitUntil([&] { return !page->IsBusy(); }));
    EXPECT_FALSE(fs::exists(fs::path(Drive('c')) / "Blocked" / "Downloads"));
    CLocalSettings::GetInstance()->SetDownLoadPath(downloadFolder);
  }

  // The same file asked for again while the recorder has stopped answering: once the reply
  // wait has run out the recorder is taken for lost and the download is said to have failed
  // (the user stopped nothing), and the copy made before is still whole, with nothing left
  // beside it.
  void DownloadFromAFrozenRecorder(CDlgPlayback* page, const fs::path& copy, const std::vector<uint8_t>& original) {
    ASSERT_TRUE(recorder().Freeze());
    ClickId(page, CPlaybackPageBase::IDC_DOWNLOAD);
    EXPECT_TRUE(WaitUntil([&] { return !page->IsBusy(); })) << Said();
    EXPECT_EQ(page->ProgressText(), Text(kDownloadFailed));
    EXPECT_TRUE(ReadFile(copy) == original) << copy << " was changed by the download that failed";
    std::vector<fs::path> inFolder;
    for (const auto& e : fs::directory_iterator(copy.parent_path())) inFolder.push_back(e.path());
    EXPECT_EQ(inFolder, std::vector<fs::path>{copy});
    recorder().Resume();
  }

  // The recorder gone: the download it cannot start is said to have failed, not left silent.
  void DownloadFromAGoneRecorder(CDlgPlayback* page) {
    ASSERT_TRUE(recorder().Stop());
    const size_t notices = Ui().notices.size();
    ClickId(page, CPlaybackPageBase::IDC_DOWNLOAD);
    EXPECT_TRUE(WaitUntil([&] {
      return !NoticesAfter(notices, kDownloadNotStarted).empty() || !NoticesAfter(notices, kLoginFailed).empty();
    })) << Said();
    EXPECT_EQ(page->ProgressText(), Text(kDownloadFailed));
    EXPECT_FALSE(page->IsBusy());
  }
};

TEST_F(RemotePlaybackJourney, FindPlayStepAndDownloadARecordingOfTheRecorder) {
  const fs::path recordings = fs::path(Folder()) / "recorder_files";
  fs::create_directories(recordings);
  // The recorder holds files of every channel on the day it starts.
  const QDate recorderDay = QDate::currentDate();
  ASSERT_TRUE(StartEmulators(true, false));
  ASSERT_TRUE(StartEmulators(false, true, {"--export-files", recordings.string()}));
  SeedDevices();
  RunProgram([&] {
    CDlgPlayback* page = Main()->GetPlaybackDlg();
    OpenPage(kRemotePlayback, page);
    QTreeWidget* tree = page->GetDeviceTree();
    ASSERT_TRUE(WaitUntil([&] { return ChannelItem(tree, kRecorderName, 1) != nullptr; }));
    FindAndPlayRefused(page);

    // The recorder's channel 1 on the recorder's day (the calendar shows today; past midnight
    // the user picks that day), scheduled recordings only: the files of 00:00 and 02:00.
    SelectItem(tree, ChannelItem(tree, kRecorderName, 1));
    CScheduleCtrl* bar = page->GetTimeBar();
    ASSERT_TRUE(SearchDay(page, recorderDay, kScheduled)) << Said();
    ASSERT_EQ(bar->CellCount(), 2);
    EXPECT_EQ(bar->Cell(0).StartHour, 0);
    EXPECT_EQ(bar->Cell(1).StartHour, 2);

    // Every kind: the four files of the day, an hour each.
    ASSERT_TRUE(SearchDay(page, recorderDay, kEveryKind)) << Said();
    ASSERT_EQ(bar->CellCount(), 4);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(bar->Cell(i).StartHour, i);
      EXPECT_EQ(bar->Cell(i).EndHour, i);
      EXPECT_EQ(bar->Cell(i).EndMinute, 59);
    }
    ASSERT_TRUE(RecorderGot(dvremu::kFileFind, 2));
    const std::vector<journey::Logged> finds = journey::Requests(recorder(), dvremu::kFileFind);
    ASSERT_EQ(finds.size(), 2u);
    EXPECT_EQ(finds[1].U32(0), 0u) << "channel index";

    // The 02:00 file played: its pictures are shown.
    QRect cell;
    ASSERT_TRUE(bar->GetCellRect(bar->Cell(2), cell));
    ClickAt(bar, cell.center());
    const auto firstCellClick = std::chrono::steady_clock::now();
    const plat::WindowHandle wnd = page->GetPlayScreen()->GetWnd(0)->GetSafeHwnd();
    ASSERT_TRUE(Playing(wnd)) << Said();
    EXPECT_EQ(page->GetPlayState(), PlayState::kPlaying);
    ASSERT_TRUE(RecorderGot(dvremu::kReplay, 1));
    EXPECT_EQ(AskedFile(dvremu::kReplay, 0), "today_ch1_200.rec");
    // The position bar follows the playback (and may be moved). No recorder steps a file
    // back: that button is shown unavailable rather than turn the Play button.
    auto* position = Find<CSliderControlEx>(page, CPlaybackPageBase::IDC_POSITION);
    ASSERT_NE(position, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return position->value() > 0; }));
    EXPECT_TRUE(position->isEnabled());
    EXPECT_FALSE(Find(page, CPlaybackPageBase::IDC_FRAME_BACK)->isEnabled());
    EXPECT_EQ(Find(page, CPlaybackPageBase::IDC_FRAME_BACK)->toolTip(), Text(kUnavailable));
    Shot(Main(), "journey_remote_playback");

    ASSERT_NO_FATAL_FAILURE(PauseStepAndChangeSpeed(page, wnd));
    TakeSnapshot(page);
    // The remote page writes a separator of its own after the folder, which ends in one.
    EXPECT_NE(Ui().notices.back().find(u"RecordFile//"), std::u16string::npos) << Said();
    TurnTheSound(page);

    // Another cell clicked (the time bar takes one click in two seconds): the 03:00 file
    // replaces the one playing.
    while (std::chrono::steady_clock::now() < firstCellClick + std::chrono::milliseconds(2500)) PumpFor(50);
    ASSERT_TRUE(bar->GetCellRect(bar->Cell(3), cell));
    ClickAt(bar, cell.center());
    ASSERT_TRUE(RecorderGot(dvremu::kReplay, 2));
    EXPECT_EQ(AskedFile(dvremu::kReplay, 1), "today_ch1_300.rec");
    EXPECT_TRUE(RecorderGot(dvremu::kReplayStop, 1)) << "the first playback is stopped on the recorder";
    EXPECT_EQ(page->PlayingName(), u"today_ch1_300.rec");
    EXPECT_TRUE(Playing(wnd));

    // The download of the file playing: the progress ends in "Finish" and the bytes are the
    // recorder's, under the device's name, channel and the file's times.
    ClickId(page, CPlaybackPageBase::IDC_DOWNLOAD);
    ASSERT_TRUE(WaitUntil([&] { return page->ProgressText() == "Finish"; })) << page->ProgressText().toStdString();
    ASSERT_TRUE(RecorderGot(dvremu::kDownload, 1));
    ASSERT_EQ(journey::Requests(recorder(), dvremu::kDownload).size(), 1u);
    const std::string asked = AskedFile(dvremu::kDownload, 0);
    EXPECT_EQ(asked, "today_ch1_300.rec");
    const fs::path copy = plat::toNativePath(page->LastDownloadPath());
    EXPECT_EQ(copy.parent_path(), fs::path(Drive('c')) / "DownloadFile");
    const std::string day = recorderDay.toString(QStringLiteral("yyyyMMdd")).toStdString();
    EXPECT_EQ(copy.filename().string(),
              QString::fromStdU16String(kRecorderName).toStdString() + "_01_" + day + "030000_" + day + "035959.h264");
    const std::vector<uint8_t> original = ReadFile(recordings / asked);
    ASSERT_GT(original.size(), 1000u);
    EXPECT_TRUE(ReadFile(copy) == original) << copy << " differs from the recorder's " << asked;
    Shot(Main(), "journey_remote_download");

    ASSERT_NO_FATAL_FAILURE(PlayToItsEndAtTheFastestSpeed(page, position));
    DownloadIntoABlockedFolder(page);
    ASSERT_NO_FATAL_FAILURE(DownloadFromAFrozenRecorder(page, copy, original));
    DownloadFromAGoneRecorder(page);
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0) << Said();
}

}  // namespace
