// The playback pages' controllers without their widgets: a recorder that stops answering
// (stopped with SIGSTOP) while a search, a playback and a download are asked of it leaves the
// UI thread answering, shows each request on its way and gives each its message when its
// result comes, also when a local file of a logged-out dead recorder is opened; a downloader that would not start is held until the next Download click; the
// cells of found files; and the local page's reading of recordings by their names (the ring's
// end at the file's last write, the 19-character form's at 00:00:00).
#include <gtest/gtest.h>
#include <utime.h>

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "controls/WindowMessages.h"
#include "devices/DeviceManager.h"
#include "harness/DeviceWorkWait.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "plat/clock.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "support/Emulators.h"
#include "support/FakeDevices.h"
#include "support/TestFolder.h"
#include "support/Wait.h"
#include "view/DlgLPlaybackController.h"
#include "view/DlgPlaybackController.h"

namespace fs = std::filesystem;

namespace {

// The page as the controller sees it: what it was told to show.
struct FakePage : IPlaybackPageUi {
  QWidget page, play;
  CPlaybackPageController* controller = nullptr;
  std::vector<ScheduleCell> cells;
  bool opening = false;
  int playButton = 0, position = 0, volume = 0;
  std::u16string progress;

  FakePage() {
    AttachWindow(&page, [this](uint32_t m, uintptr_t, intptr_t) -> intptr_t {
      if (m == WM_PLAYBACK_FOUND && controller) controller->TakeFound();
      return 0;
    });
    AttachWindow(&play, [](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; });
  }
  plat::WindowHandle PageWindow() override { return WindowHandleOf(&page); }
  plat::WindowHandle PlayWindow() override { return WindowHandleOf(&play); }
  void ClearCells() override { cells.clear(); }
  void AddCell(const ScheduleCell& cell) override { cells.push_back(cell); }
  std::u16string CellName(int index) override {
    return index >= 0 && index < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(index)].FileName
                                                                : std::u16string();
  }
  void SetPlayButton(int state) override { playButton = state; }
  void SetSoundButton(int) override {}
  void SetPosition(int value) override { position = value; }
  void SetVolume(int value) override { volume = value; }
  int VolumeMaximum() override { return 32767; }
  void ShowOpening(bool on) override { opening = on; }
  void ShowAbilities(const PlayAbilities&) override {}
  void SetProgressText(const std::u16string& text) override { progress = text; }
};

bool Pumped(const std::function<bool()>& done, int realMs = testsupport::kPatienceMs) {
  return testsupport::Eventually(
      [&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
      },
      realMs);
}

// A recorder emulator in a process of its own, to be frozen with SIGSTOP, and its device in
// the list under `guid`, with a test home and a drive C: of its own.
class DeadRecorder : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(fs::path(folder.path()) / "home");
    fs::create_directories(Drive() / "RecordFile");
    setenv("TARNWICK_HOME", (fs::path(folder.path()) / "home").c_str(), 1);
    setenv("TARNWICK_DRIVES", Drive().c_str(), 1);
    plat::resetDriveMap();
    ASSERT_TRUE(recorder.Start());
    ASSERT_EQ(CQXGlobal::Startup(), 1);
    // The recorder's reply wait shortened to two seconds: still twice the gap allowed.
    plat::setTimeScale(0.5);
    CDevInfo info(u"库房", u"localhost", recorder.Port(), u"admin", u"12345", 4, u"", u"", u"", u"", 0, 0,
                  DEV_TYPE_DVR, u"PBC-DVR-1", u"REGION-1");
    ASSERT_TRUE(CDeviceManager::GetInstance()->Add(new CDevice(info)));
    device = CDeviceManager::GetInstance()->FindDevice(u"PBC-DVR-1", 1);
    ASSERT_NE(device, nullptr);
  }
  void TearDown() override {
    recorder.Resume();
    EXPECT_TRUE(harness::SettleDeviceWork());
    harness::ResetServices();
    CQXGlobal::Cleanup();
    plat::setTimeScale(1.0);
    unsetenv("TARNWICK_HOME");
    unsetenv("TARNWICK_DRIVES");
    plat::resetDriveMap();
  }
  fs::path Drive() const { return fs::path(folder.path()) / "c"; }

  testsupport::TestFolder folder;
  harness::ScopedScriptedUi ui;
  testsupport::EmulatorProcess recorder{testsupport::EmulatorProcess::kRecorder, folder.path()};
  CDevice* device = nullptr;
};

// The UI thread's own timer: the longest gap between its ticks from its start on.
struct UiGapWatch {
  QElapsedTimer sinceTick;
  int64_t longestGap = 0;
  QTimer ticker;
  UiGapWatch() {
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [this] {
      longestGap = std::max<int64_t>(longestGap, sinceTick.restart());
    });
    sinceTick.start();
    ticker.start();
  }
  int64_t Stop() {
    ticker.stop();
    return longestGap;
  }
};

TEST_F(DeadRecorder, ThePageAnswersAndItsMessagesComeWithTheResults) {
  {
    FakePage page;
    CDlgPlaybackController controller(page);
    page.controller = &controller;
    // The recorder holds files of every channel on the day it starts.
    const QDate today = QDate::currentDate();
    const CPlaybackPageController::SearchRequest find{device, 0, today.year(), today.month(), today.day(), 255};
    controller.Find(find);
    ASSERT_TRUE(Pumped([&] { return !controller.IsSearching(); }));
    ASSERT_FALSE(page.cells.empty());

    ASSERT_TRUE(recorder.Freeze());
    UiGapWatch watch;

    // A file played, downloaded and another search, all asked of the dead recorder: each is
    // shown on its way at once.
    const size_t before = ui->notices.size();
    controller.CellClicked(0);
    EXPECT_TRUE(page.opening);
    EXPECT_TRUE(controller.IsBusy());
    controller.Download();
    EXPECT_EQ(page.progress, LoadResString(8557));
    controller.Find(find);
    EXPECT_TRUE(controller.IsSearching());

    // Each gets its message when its result arrives.
    auto said = [&](std::initializer_list<uint32_t> ids) {
      for (size_t i = before; i < ui->notices.size(); ++i)
        for (uint32_t id : ids)
          if (ui->notices[i] == LoadResString(id)) return true;
      return false;
    };
    ASSERT_TRUE(Pumped([&] { return !controller.IsBusy(); })) << ui->notices.size();
    EXPECT_TRUE(said({9202, 8601})) << "the playback's failure";
    EXPECT_TRUE(said({9203, 8601})) << "the download's failure";
    EXPECT_EQ(page.progress, LoadResString(8558));
    EXPECT_TRUE(said({8514, 8534, 8601})) << "the search's end";
    EXPECT_FALSE(page.opening);
    EXPECT_FALSE(controller.IsSearching());
    EXPECT_EQ(controller.GetPlayState(), PlayState::kIdle);
    EXPECT_EQ(page.playButton, 0);
    EXPECT_LT(watch.Stop(), 1000) << "the UI thread waited for the recorder";
  }
}

// A local recording of a recorder that is logged out and has stopped answering: making its
// player logs the device in, which waits for the recorder on the device's queue while the
// page shows the file opening and the UI thread goes on.
TEST_F(DeadRecorder, ALocalFileOfTheLoggedOutRecorderOpensWithoutTheUiWaiting) {
  const QDate today = QDate::currentDate();
  const std::string day = today.toString("yyyyMMdd").toStdString();
  std::ofstream(Drive() / "RecordFile" / ("Preview_库房_01_" + day + "_101010_77.avi")).put('x');

  {
    FakePage page;
    CDlgLPlaybackController controller(page);
    page.controller = &controller;
    controller.Find({device, 0, today.year(), today.month(), today.day(), CDlgLPlaybackController::kKindAll});
    ASSERT_TRUE(Pumped([&] { return !controller.IsSearching() && !page.cells.empty(); }));

    ASSERT_TRUE(recorder.Freeze());
    UiGapWatch watch;
    controller.CellClicked(0);
    EXPECT_TRUE(page.opening) << "the file is shown opening at once";
    // The login runs out, the player is made all the same and the one-byte file does not open.
    ASSERT_TRUE(Pumped([&] { return !page.opening; }));
    EXPECT_EQ(controller.GetPlayState(), PlayState::kIdle);
    EXPECT_LT(watch.Stop(), 1000) << "the UI thread waited for the recorder";
  }
}

// A recorder family whose finder finds one file and whose downloaders never start.
struct StubbornFamily : fake::Family {
  struct Finder : CDevRemoteFileFinder {
    bool given = false;
    int FindNext(tagRemoteFileInfo* out) override {
      if (given) return 0;
      given = true;
      std::snprintf(out->fileName, sizeof out->fileName, "%s", "0120261208150000");
      out->start = TIME{2026, 12, 8, 15, 0, 0};
      out->end = TIME{2026, 12, 8, 15, 20, 0};
      return 1;
    }
  };
  struct Downloader : CDevRemoteFileDownloader {
    int* alive;
    explicit Downloader(int* a) : alive(a) { ++*alive; }
    ~Downloader() override { --*alive; }
    int Start() override { return 0; }
    int GetPos() override { return 0; }
  };
  int downloaders = 0;
  StubbornFamily() : fake::Family(1, 5) {}
  CDevRemoteFileFinder* MakeFinder(IDevUserLogin*, tagSearchFileCondition*) override { return new Finder; }
  CDevRemoteFileDownloader* MakeDownloader(IDevUserLogin*, const char*, const char*) override {
    return new Downloader(&downloaders);
  }
};

TEST(PlaybackController, ADownloaderThatWouldNotStartIsHeldUntilTheNextDownloadClick) {
  testsupport::TestFolder folder;
  fs::create_directories(fs::path(folder.path()) / "home");
  setenv("TARNWICK_HOME", (fs::path(folder.path()) / "home").c_str(), 1);
  harness::ScopedScriptedUi ui;
  StubbornFamily family;
  DevFamily* saved = SetDevFamily(1, &family);
  CDevInfo info(u"库房", u"10.0.0.9", 8000, u"admin", u"12345", 4, u"", u"", u"", u"", 0, 0, DEV_TYPE_DVR,
                u"PBC-DVR-2", u"REGION-1");
  ASSERT_TRUE(CDeviceManager::GetInstance()->Add(new CDevice(info)));
  CDevice* device = CDeviceManager::GetInstance()->FindDevice(u"PBC-DVR-2", 1);
  {
    FakePage page;
    CDlgPlaybackController controller(page);
    page.controller = &controller;
    controller.Find({device, 0, 2026, 12, 8, 255});
    ASSERT_TRUE(Pumped([&] { return !controller.IsSearching(); }));
    ASSERT_EQ(page.cells.size(), 1u);
    controller.CellClicked(0);
    ASSERT_TRUE(Pumped([&] { return !controller.IsOpening(); }));
    controller.Stop();

    controller.Download();
    ASSERT_TRUE(Pumped([&] { return page.progress == LoadResString(8558); }));
    ASSERT_TRUE(harness::SettleDeviceWork());
    EXPECT_TRUE(controller.IsDownloading()) << "the downloader was let go at once";
    EXPECT_TRUE(controller.IsBusy());
    EXPECT_EQ(family.downloaders, 1);
    controller.Download();  // lets it go, starts nothing
    EXPECT_EQ(page.progress, LoadResString(8559));
    EXPECT_FALSE(controller.IsDownloading());
    EXPECT_FALSE(controller.IsBusy());
    ASSERT_TRUE(harness::SettleDeviceWork());
    EXPECT_EQ(family.downloaders, 0);
  }
  harness::ResetServices();
  SetDevFamily(1, saved);
  unsetenv("TARNWICK_HOME");
}

// A file's last write, in local time.
void SetLastWrite(const fs::path& file, int year, int month, int day, int h, int m, int s) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = h;
  tm.tm_min = m;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  utimbuf times{std::mktime(&tm), std::mktime(&tm)};
  ASSERT_EQ(utime(file.c_str(), &times), 0);
}

TEST(PlaybackController, RecordingsBecomeCellsOfTheirTimesOfDayAndLocalOnesEndAsTheirNamesSay) {
  // A remote file found from 23:50 to 00:10 of the next day: the cell takes the two times of
  // day, not the dates, and so ends before it starts.
  FoundFile late;
  late.name = u"late.rec";
  late.start = TIME{2026, 12, 8, 23, 50, 0};
  late.end = TIME{2026, 12, 9, 0, 10, 0};
  const ScheduleCell night = CellOf(late);
  EXPECT_EQ(night.StartHour, 23);
  EXPECT_EQ(night.EndHour, 0);
  EXPECT_EQ(night.EndMinute, 10);

  testsupport::TestFolder folder;
  CDlgLPlaybackController::Filter filter;
  filter.deviceName = u"Gate";
  filter.ip = u"10.1.2.3";
  filter.port = 8000;
  filter.channelIndex = 1;
  filter.dayStart = "20261208000000";
  filter.dayEnd = "20261208235959";
  FoundFile found;

  // A ring recording ends at its file's last write.
  const fs::path ring = fs::path(folder.path()) / "Preview_Gate_02_20261208_101010_77.avi";
  std::ofstream(ring).put('x');
  SetLastWrite(ring, 2026, 12, 8, 10, 40, 5);
  ASSERT_TRUE(CDlgLPlaybackController::MatchLocalFile(plat::utf8ToUtf16(ring.string()), filter, found));
  EXPECT_EQ(found.end.hour, 10);
  EXPECT_EQ(found.end.minute, 40);
  EXPECT_EQ(found.end.second, 5);

  // The 19-character form names no end: its cell ends at 00:00:00, before its start, and the
  // time bar draws it at its start.
  const std::u16string shortName = u"C:\\RecordFile\\10.1.2.3_8000_2\\20261208_101010abcd";
  ASSERT_TRUE(CDlgLPlaybackController::MatchLocalFile(shortName, filter, found));
  const ScheduleCell cell = CellOf(found);
  EXPECT_EQ(cell.StartHour, 10);
  EXPECT_EQ(cell.StartSecond, 10);
  EXPECT_EQ(cell.EndSeconds(), 0);
  CScheduleCtrl bar;
  bar.resize(1000, 50);
  bar.AddCell(cell);
  ASSERT_EQ(bar.CellCount(), 1);
  QRect drawn;
  ASSERT_TRUE(bar.GetCellRect(bar.Cell(0), drawn));
  EXPECT_EQ(drawn.left(), CScheduleCtrl::kOrigin + cell.StartSeconds() / CScheduleCtrl::kScheduleScales[0]);
  // Another address, port, channel or day is not the channel's.
  for (const char16_t* other : {u"C:\\RecordFile\\10.1.2.4_8000_2\\20261208_101010abcd",
                                u"C:\\RecordFile\\10.1.2.3_8001_2\\20261208_101010abcd",
                                u"C:\\RecordFile\\10.1.2.3_8000_3\\20261208_101010abcd",
                                u"C:\\RecordFile\\10.1.2.3_8000_2\\20261209_101010abcd"})
    EXPECT_FALSE(CDlgLPlaybackController::MatchLocalFile(other, filter, found)) << plat::utf16ToUtf8(other);
}

}  // namespace
