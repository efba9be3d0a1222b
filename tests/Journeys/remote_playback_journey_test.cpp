// Remote playback as a user does it, on the remote playback page: Find and Play refused until
// a channel and a file are chosen; the recorder's channel 1 searched for today (scheduled only,
// then all kinds); a found file played with its pictures shown, paused, stepped a frame, sped
// up, slowed down and back to normal, a snapshot taken, the sound switched on and off, another
// file chosen on the time bar, that file downloaded (the bytes are the recorder's own), a frame
// back, and the file played to its end at the fastest speed, where the page stops by itself;
// then the download found and played on the local playback page.
#include <QCalendarWidget>
#include <QComboBox>
#include <QDate>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "JourneyDevices.h"
#include "JourneyFixture.h"
#include "controls/BitmapButtonEx.h"
#include "controls/SliderControlEx.h"
#include "dvremu/services.h"
#include "plat/paths.h"
#include "shell/TarnwickDlg.h"
#include "view/DlgLPlayback.h"
#include "view/DlgPlayback.h"
#include "view/PlayScreen.h"
#include "view/PlayWnd.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kLocalPlayback = 8139, kRemotePlayback = 8140;  // the playback button's menu
constexpr unsigned kDownloads = 8334;  // the local page's kind of recording
constexpr unsigned kSearchEnded = 8534, kSnapshotTaken = 8350, kChooseChannel = 8252, kChooseFile = 8335;
constexpr size_t kFileNameAt = 8, kFileNameChars = 32;  // in the recorder's file requests

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class RemotePlaybackJourney : public JourneyTest {
 protected:
  // The notices since `from` that begin with the string `id`, what follows it.
  std::vector<QString> NoticesAfter(size_t from, unsigned id) {
    std::vector<QString> out;
    const QString head = Text(id);
    for (size_t i = from; i < Ui().notices.size(); ++i) {
      const QString n = QString::fromStdU16String(Ui().notices[i]);
      if (n.startsWith(head)) out.push_back(n.mid(head.size()));
    }
    return out;
  }
  // Pictures keep coming into the window: `more` after the present one.
  bool Playing(plat::WindowHandle wnd, uint64_t more = 5) {
    uint64_t since = 0;
    journey::FrameShown(wnd, &since);
    return WaitUntil([&] {
      uint64_t now = 0;
      return journey::FrameShown(wnd, &now) >= 0 && now >= since + more;
    });
  }
  // The picture stays: no new one for a while.
  bool Still(plat::WindowHandle wnd, int* frame) {
    return WaitUntil([&] {
      uint64_t before = 0, after = 0;
      const int shown = journey::FrameShown(wnd, &before);
      PumpFor(500);
      *frame = journey::FrameShown(wnd, &after);
      return shown >= 0 && after == before;
    });
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
    OnMenu(Text(kRemotePlayback));
    ClickId(Main(), CTarnwickDlg::IDC_BtnPlayback);
    CDlgPlayback* page = Main()->GetPlaybackDlg();
    ASSERT_TRUE(WaitUntil([&] { return page->isVisible(); })) << Said();
    QTreeWidget* tree = page->GetDeviceTree();
    ASSERT_TRUE(WaitUntil([&] { return FindItem(tree, QString::fromStdU16String(kRecorderName)) != nullptr; }));
    QTreeWidgetItem* recorderItem = FindItem(tree, QString::fromStdU16String(kRecorderName));
    ASSERT_GE(recorderItem->childCount(), 1);
    // The device rather than a channel chosen: Find says to choose a channel; Play before any
    // file is found says to choose a file.
    SelectItem(tree, recorderItem);
    ClickId(page, CPlaybackPageBase::IDC_FIND);
    EXPECT_TRUE(SaidNotice(kChooseChannel)) << Said();
    ClickId(page, CPlaybackPageBase::IDC_PLAY);
    EXPECT_TRUE(SaidNotice(kChooseFile)) << Said();
    EXPECT_FALSE(page->IsBusy());
    SelectItem(tree, recorderItem->child(0));
    // The calendar shows today; past midnight the user picks the recorder's day.
    if (page->GetCalendar()->selectedDate() != recorderDay) page->GetCalendar()->setSelectedDate(recorderDay);

    // Scheduled recordings only: the files of 00:00 and 02:00.
    CScheduleCtrl* bar = page->GetTimeBar();
    size_t notices = Ui().notices.size();
    Choose(page->GetTypeCombo(), Text(8264));
    ClickId(page, CPlaybackPageBase::IDC_FIND);
    ASSERT_TRUE(WaitUntil([&] { return !NoticesAfter(notices, kSearchEnded).empty(); })) << Said();
    ASSERT_EQ(bar->CellCount(), 2);
    EXPECT_EQ(bar->Cell(0).StartHour, 0);
    EXPECT_EQ(bar->Cell(1).StartHour, 2);

    // Every kind: the four files of the day, an hour each.
    notices = Ui().notices.size();
    Choose(page->GetTypeCombo(), Text(8308));
    ClickId(page, CPlaybackPageBase::IDC_FIND);
    ASSERT_TRUE(WaitUntil([&] { return !NoticesAfter(notices, kSearchEnded).empty(); })) << Said();
    ASSERT_EQ(bar->CellCount(), 4);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(bar->Cell(i).StartHour, i);
      EXPECT_EQ(bar->Cell(i).EndHour, i);
      EXPECT_EQ(bar->Cell(i).EndMinute, 59);
    }
    ASSERT_TRUE(recorder().WaitForLog([&](const std::vector<std::string>&) {
      return journey::Requests(recorder(), dvremu::kFileFind).size() >= 2;
    }));
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
    EXPECT_EQ(page->PlayState(), 0);
    ASSERT_TRUE(recorder().WaitForLog([&](const std::vector<std::string>&) {
      return !journey::Requests(recorder(), dvremu::kReplay).empty();
    }));
    const std::string played = journey::Requests(recorder(), dvremu::kReplay)[0].Text(kFileNameAt, kFileNameChars);
    EXPECT_EQ(played, "today_ch1_200.rec");
    // The position slider follows the playback.
    auto* position = Find<CSliderControlEx>(page, CPlaybackPageBase::IDC_POSITION);
    ASSERT_NE(position, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return position->value() > 0; }));
    Shot(Main(), "journey_remote_playback");

    // Paused: the picture stays; a step forward shows a later picture of the same file.
    ClickId(page, CPlaybackPageBase::IDC_PLAY);
    EXPECT_EQ(page->PlayState(), 1);
    int paused = -1;
    ASSERT_TRUE(Still(wnd, &paused));
    ClickId(page, CPlaybackPageBase::IDC_FRAME_FORWARD);
    EXPECT_EQ(page->PlayState(), 2);
    EXPECT_TRUE(WaitUntil([&] { return journey::FrameShown(wnd) > paused; }))
        << paused << " then " << journey::FrameShown(wnd);
    // Fast, slow, then normal speed again: the pictures keep coming.
    ClickId(page, CPlaybackPageBase::IDC_FAST);
    EXPECT_EQ(page->PlayState(), 2);
    ClickId(page, CPlaybackPageBase::IDC_SLOW);
    ClickId(page, CPlaybackPageBase::IDC_PLAY);
    EXPECT_EQ(page->PlayState(), 0);
    EXPECT_TRUE(Playing(wnd));

    // A snapshot of the picture into the recording folder, named after the device.
    notices = Ui().notices.size();
    ClickId(page, CPlaybackPageBase::IDC_SNAPSHOT);
    const std::vector<QString> snaps = NoticesAfter(notices, kSnapshotTaken);
    ASSERT_EQ(snaps.size(), 1u) << Said();
    const fs::path snapshot = plat::toNativePath(snaps[0].toStdU16String());
    EXPECT_TRUE(fs::is_regular_file(snapshot)) << snapshot;
    EXPECT_GT(fs::file_size(snapshot), 1000u);

    // Sound on and off.
    auto* sound = Find<CStateButton>(page, CPlaybackPageBase::IDC_SOUND);
    ClickId(page, CPlaybackPageBase::IDC_SOUND);
    EXPECT_EQ(sound->GetState(), 1);
    ClickId(page, CPlaybackPageBase::IDC_SOUND);
    EXPECT_EQ(sound->GetState(), 0);

    // Another cell clicked (the time bar takes one click in two seconds): the 03:00 file
    // replaces the one playing.
    while (std::chrono::steady_clock::now() < firstCellClick + std::chrono::milliseconds(2500)) PumpFor(50);
    ASSERT_TRUE(bar->GetCellRect(bar->Cell(3), cell));
    ClickAt(bar, cell.center());
    ASSERT_TRUE(recorder().WaitForLog([&](const std::vector<std::string>&) {
      return journey::Requests(recorder(), dvremu::kReplay).size() >= 2;
    }));
    EXPECT_EQ(journey::Requests(recorder(), dvremu::kReplay)[1].Text(kFileNameAt, kFileNameChars), "today_ch1_300.rec");
    EXPECT_TRUE(recorder().WaitForLog([&](const std::vector<std::string>&) {
      return !journey::Requests(recorder(), dvremu::kReplayStop).empty();
    })) << "the first playback is stopped on the recorder";
    EXPECT_EQ(page->PlayingName(), u"today_ch1_300.rec");
    EXPECT_TRUE(Playing(wnd));

    // The download of the file playing: the progress ends in "Finish" and the bytes are the
    // recorder's.
    ClickId(page, CPlaybackPageBase::IDC_DOWNLOAD);
    ASSERT_TRUE(WaitUntil([&] { return page->ProgressText() == "Finish"; })) << page->ProgressText().toStdString();
    ASSERT_TRUE(recorder().WaitForLog([&](const std::vector<std::string>&) {
      return !journey::Requests(recorder(), dvremu::kDownload).empty();
    }));
    const std::vector<journey::Logged> downloads = journey::Requests(recorder(), dvremu::kDownload);
    ASSERT_EQ(downloads.size(), 1u);
    const std::string asked = downloads[0].Text(kFileNameAt, kFileNameChars);
    EXPECT_EQ(asked, "today_ch1_300.rec");
    const fs::path copy = plat::toNativePath(page->LastDownloadPath());
    EXPECT_EQ(copy.parent_path(), fs::path(Drive('c')) / "DownloadFile");
    const std::vector<uint8_t> original = ReadFile(recordings / asked);
    ASSERT_GT(original.size(), 1000u);
    EXPECT_TRUE(ReadFile(copy) == original) << copy << " differs from the recorder's " << asked;
    Shot(Main(), "journey_remote_download");

    // Frame back only shows the play image on the play button.
    auto* play = Find<CStateButton>(page, CPlaybackPageBase::IDC_PLAY);
    EXPECT_EQ(play->GetState(), 1);
    ClickId(page, CPlaybackPageBase::IDC_FRAME_BACK);
    EXPECT_EQ(play->GetState(), 0);

    // At the fastest speed the file plays to its end: the page stops by itself and is free.
    for (int i = 0; i < 4; ++i) ClickId(page, CPlaybackPageBase::IDC_FAST);
    ASSERT_TRUE(WaitUntil([&] { return page->PlayState() == -1; })) << "position " << position->value();
    EXPECT_FALSE(page->IsBusy());
    EXPECT_EQ(position->value(), 0);
    EXPECT_TRUE(recorder().WaitForLog([&](const std::vector<std::string>&) {
      return journey::Requests(recorder(), dvremu::kReplayStop).size() >= 2;
    })) << "the playback is stopped on the recorder";

    // The download is found among the day's downloads on the local playback page, and plays.
    OnMenu(Text(kLocalPlayback));
    ClickId(Main(), CTarnwickDlg::IDC_BtnPlayback);
    CDlgLPlayback* local = Main()->GetLPlaybackDlg();
    ASSERT_TRUE(WaitUntil([&] { return local->isVisible(); })) << Said();
    QTreeWidget* localTree = local->GetDeviceTree();
    ASSERT_TRUE(WaitUntil([&] { return FindItem(localTree, QString::fromStdU16String(kRecorderName)) != nullptr; }));
    SelectItem(localTree, FindItem(localTree, QString::fromStdU16String(kRecorderName))->child(0));
    Choose(local->GetTypeCombo(), Text(kDownloads));
    notices = Ui().notices.size();
    ClickId(local, CPlaybackPageBase::IDC_FIND);
    ASSERT_TRUE(WaitUntil([&] { return !NoticesAfter(notices, kSearchEnded).empty(); })) << Said();
    CScheduleCtrl* localBar = local->GetTimeBar();
    ASSERT_EQ(localBar->CellCount(), 1);
    EXPECT_EQ(fs::path(plat::toNativePath(localBar->GetCellName(0))).lexically_normal(), copy.lexically_normal());
    EXPECT_EQ(localBar->Cell(0).StartHour, 3);
    ASSERT_TRUE(localBar->GetCellRect(localBar->Cell(0), cell));
    ClickAt(localBar, cell.center());
    const plat::WindowHandle localWnd = local->GetPlayScreen()->GetWnd(0)->GetSafeHwnd();
    ASSERT_TRUE(Playing(localWnd)) << Said();
    EXPECT_TRUE(local->IsPlaying());
    Shot(Main(), "journey_local_playback_download");
    ClickId(local, CPlaybackPageBase::IDC_STOP);
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0) << Said();
}

}  // namespace
