// Local playback as a user does it, on the local playback page: a recording downloaded from
// the recorder found among the day's downloads and played; its volume turned with the wheel;
// paused, the position bar clicked near its end (the player goes there), a step forward and
// one back, a snapshot taken
// (refused with no disk to take it), stepped frame by frame to its last picture, in the last
// half percent of the file (the page keeps the file), then played on to its real end, where
// the page stops by itself; a file deleted after the search is said to be missing.
#include <QComboBox>
#include <QDate>
#include <filesystem>

#include "PlaybackSteps.h"
#include "controls/SliderControlEx.h"
#include "harness/UiHarness.h"
#include "shell/DiskHelpers.h"
#include "support/RecorderFile.h"
#include "view/DlgLPlayback.h"
#include "view/PlayScreen.h"
#include "view/PlayWnd.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kDownloads = 8334;  // the page's kind of recording
constexpr unsigned kNoSuchFile = 8537, kSnapshotFailed = 8351;

class LocalPlaybackJourney : public PlaybackJourney {
 protected:
  // A click on the page's snapshot button on a machine with no disk to take the picture:
  // true when the page said the snapshot failed.
  bool SnapshotRefusedWithNoDisk(CDlgLPlayback* page) {
    struct NoDisks : DiskProvider {
      int64_t FreeSpaceMB(const std::u16string&) override { return -1; }
      std::vector<std::u16string> FixedDriveRoots() override { return {}; }
    };
    SetDiskProvider(std::make_shared<NoDisks>());
    const size_t notices = Ui().notices.size();
    ClickId(page, CPlaybackPageBase::IDC_SNAPSHOT);
    SetDiskProvider(nullptr);
    return !NoticesAfter(notices, kSnapshotFailed).empty();
  }
};

TEST_F(LocalPlaybackJourney, PlaysADownloadedRecordingToItsEnd) {
  // The recorder's 03:00 recording of channel 1 today, as the remote page downloads it.
  const fs::path recordings = fs::path(Folder()) / "recorder_files";
  fs::create_directories(recordings);
  ASSERT_TRUE(StartEmulators(true, false));
  ASSERT_TRUE(StartEmulators(false, true, {"--export-files", recordings.string()}));
  SeedDevices();
  const fs::path original = recordings / "today_ch1_300.rec";
  const int frames = testsupport::ReadRecorderFile(original.string()).videoFrames;
  ASSERT_GT(frames, 100);
  const std::string day = QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString();
  const fs::path download = fs::path(Drive('c')) / "DownloadFile" /
                            (QString::fromStdU16String(kRecorderName).toStdString() + "_01_" + day + "030000_" +
                             day + "035959.h264");
  fs::create_directories(download.parent_path());
  fs::copy_file(original, download);

  RunProgram([&] {
    CDlgLPlayback* page = Main()->GetLPlaybackDlg();
    OpenPage(kLocalPlayback, page);
    QTreeWidget* tree = page->GetDeviceTree();
    ASSERT_TRUE(WaitUntil([&] { return ChannelItem(tree, kRecorderName, 1) != nullptr; }));
    SelectItem(tree, ChannelItem(tree, kRecorderName, 1));
    ASSERT_TRUE(SearchDay(page, QDate::currentDate(), kDownloads)) << Said();
    CScheduleCtrl* bar = page->GetTimeBar();
    ASSERT_EQ(bar->CellCount(), 1);
    EXPECT_EQ(bar->Cell(0).StartHour, 3);
    QRect cell;
    ASSERT_TRUE(bar->GetCellRect(bar->Cell(0), cell));
    ClickAt(bar, cell.center());
    const plat::WindowHandle wnd = page->GetPlayScreen()->GetWnd(0)->GetSafeHwnd();
    ASSERT_TRUE(Playing(wnd)) << Said();
    EXPECT_TRUE(page->IsPlaying());
    // The page alone, cut from the window, where the play window's picture is composed.
    harness::SaveScreenshot(harness::Grab(Main()).copy(QRect(page->mapTo(Main(), QPoint(0, 0)), page->size())),
                            "playback_local");
    Shot(Main(), "journey_local_playback");

    // The wheel over the volume turns what the player plays.
    auto* volume = Find<CSliderControlEx>(page, CPlaybackPageBase::IDC_VOLUME);
    EXPECT_TRUE(ReachesPlayer([&] { Wheel(volume, -2); })) << "the wheel's volume did not reach the player";
    EXPECT_LT(volume->value(), volume->maximum());

    // Paused, then a click on the position bar near its end: the player goes there (the bar
    // follows the player once a second and stays), and the next step shows a picture there.
    ClickId(page, CPlaybackPageBase::IDC_PLAY);
    EXPECT_EQ(page->GetPlayState(), PlayState::kPaused);
    int shown = -1;
    ASSERT_TRUE(Still(wnd, &shown));
    ASSERT_LT(shown, frames * 8 / 10) << "the file played too far before the pause";
    auto* position = Find<CSliderControlEx>(page, CPlaybackPageBase::IDC_POSITION);
    ClickAt(position, QPoint(position->width() * 9 / 10, position->height() / 2));
    PumpFor(2500);
    EXPECT_GE(position->value(), 80) << "the position bar went back to where the player stayed";
    ClickId(page, CPlaybackPageBase::IDC_FRAME_FORWARD);
    EXPECT_TRUE(WaitUntil([&] {
      shown = journey::FrameShown(wnd);
      return shown >= frames * 8 / 10 && shown < frames - 2;
    })) << "frame " << shown << " of " << frames;
    // A step back shows the picture before it.
    const int stepped = shown;
    ClickId(page, CPlaybackPageBase::IDC_FRAME_BACK);
    EXPECT_EQ(page->GetPlayState(), PlayState::kPaused);
    EXPECT_TRUE(WaitUntil([&] { return (shown = journey::FrameShown(wnd)) == stepped - 1; }))
        << "frame " << shown << " after a step back from " << stepped;

    // A snapshot of the picture; with no disk to take it, it is refused rather than written at
    // the root.
    TakeSnapshot(page);
    EXPECT_TRUE(SnapshotRefusedWithNoDisk(page)) << Said();

    // Frame by frame to its last picture, in the last half percent of the file: the page keeps
    // the file while the position polls come (once a second).
    while (shown < frames - 1) {
      const int before = shown;
      ClickId(page, CPlaybackPageBase::IDC_FRAME_FORWARD);
      ASSERT_TRUE(WaitUntil([&] { return (shown = journey::FrameShown(wnd)) > before; })) << before;
    }
    PumpFor(2500);
    EXPECT_EQ(page->GetPlayState(), PlayState::kPaused) << "the file was let go before its end";
    EXPECT_TRUE(page->IsPlaying());
    EXPECT_GE(position->value(), 99);

    // Played on, it ends: the page stops by itself and lets the file go.
    ClickId(page, CPlaybackPageBase::IDC_PLAY);
    ASSERT_TRUE(WaitUntil([&] { return page->GetPlayState() == PlayState::kIdle; })) << Said();
    EXPECT_EQ(position->value(), 0);
    EXPECT_TRUE(page->ChosenFile().empty());
    EXPECT_FALSE(page->IsPlaying());

    // The file deleted after the search: a click on its cell says it is missing.
    fs::remove(download);
    PumpFor(2500);  // the time bar takes one click in two seconds
    const size_t notices = Ui().notices.size();
    ClickAt(bar, cell.center());
    EXPECT_FALSE(NoticesAfter(notices, kNoSuchFile).empty()) << Said();
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0) << Said();
}

}  // namespace
