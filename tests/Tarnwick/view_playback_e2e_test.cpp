// The playback pages against the emulators in this process, where a test holds back a
// device's answers: the remote page on the recorder behind the camera protocol (found, played
// with its frame numbers read back from the play window, speed and pause, a download whose
// bytes equal the device's, what it cannot do shown unavailable, a tree selection changed
// during playback that changes nothing, a file played to its end that stops the page by
// itself), a search held by the recorder, the page or the device gone meanwhile, and a
// playback stopped on a device being deleted; the local page's walk ended with the page; the
// remote control strip on narrow and wide pages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QElapsedTimer>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "camemu/camera.h"
#include "camemu/media.h"
#include "clipgen/clipgen.h"
#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "Corvane/protocol.h"
#include "controls/WindowMessages.h"
#include "devices/DeviceManager.h"
#include "devices/TreeCtrlTarget.h"
#include "dvremu/emulator.h"
#include "harness/DeviceWorkWait.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "plat/audio.h"
#include "plat/clock.h"
#include "plat/paths.h"
#include "plat/surface.h"
#include "plat/text.h"
#include "plat/window.h"
#include "shell/LocalSettings.h"
#include "shell/Language.h"
#include "view/DlgLPlayback.h"
#include "view/DlgPlayback.h"
#include "view/PlayScreen.h"
#include "view/ViewMessages.h"
#include "support/ShownFrame.h"
#include "support/TestFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kNvrGuid[] = u"PB-NVR-1";
constexpr char16_t kDvrGuid[] = u"PB-DVR-1";
constexpr char16_t kCamGuid[] = u"PB-CAM-1";
constexpr int kClipFrames = 100;

bool WaitFor(const std::function<bool()>& done, int ms = 60000) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (done()) return true;
    plat::sleepMs(10);
  }
  return done();
}

// The frame number carried by the window's last picture; -1 when none.
int FrameNumber(plat::WindowHandle wnd, uint64_t* serial = nullptr) { return testsupport::ShownFrameNumber(wnd, serial); }

uint64_t Serial(plat::WindowHandle wnd) {
  plat::PresentedPicture pic;
  return plat::lastPresented(wnd, &pic) ? pic.serial : 0;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t LocalSeconds(int y, int mo, int d, int h, int mi, int s) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return static_cast<uint32_t>(std::mktime(&tm));
}

struct PlaybackPages : ::testing::Test {
  fs::path root;
  std::unique_ptr<harness::ScopedScriptedUi> ui;
  std::unique_ptr<camemu::Camera> cam;
  std::unique_ptr<camemu::Media> media;
  std::unique_ptr<dvremu::Emulator> dvr;
  clipgen::Clip clip;
  std::vector<std::unique_ptr<DeviceTreeNode>> nodes;
  QWidget host;

  void SetUp() override {
    root = testsupport::NewTestFolder();
    for (const char* d : {"home", "c", "d"}) fs::create_directories(root / d);
    setenv("TARNWICK_HOME", (root / "home").c_str(), 1);
    setenv("TARNWICK_DRIVES", ((root / "c").string() + ":" + (root / "d").string()).c_str(), 1);
    plat::resetDriveMap();
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    ui = std::make_unique<harness::ScopedScriptedUi>();
    CLocalSettings::GetInstance()->SetDownLoadPath(u"D:\\DownloadFile\\");

    clipgen::Options o;
    o.frames = kClipFrames;
    std::string error;
    ASSERT_TRUE(clipgen::generate(o, &clip, &error)) << error;
    host.resize(1280, 800);
  }

  void TearDown() override {
    harness::ResetServices();
    if (sdkStarted) CQXGlobal::Cleanup();
    dvr.reset();
    media.reset();
    cam.reset();
    ui.reset();
    unsetenv("TARNWICK_HOME");
    unsetenv("TARNWICK_DRIVES");
    plat::resetDriveMap();
    fs::remove_all(root);
  }

  std::vector<camemu::MediaFrame> Frames(size_t from, size_t to) {
    std::vector<camemu::MediaFrame> frames;
    for (size_t i = from; i < to; ++i) {
      camemu::MediaFrame f;
      f.data = clip.frameBytes(i);
      f.key = clip.frames[i].key || i == from;
      f.width = static_cast<uint16_t>(clip.width);
      f.height = static_cast<uint16_t>(clip.height);
      frames.push_back(std::move(f));
    }
    return frames;
  }

  void StartCamera() {
    camemu::Config cfg;
    cfg.otherLimit = 16;
    cam = std::make_unique<camemu::Camera>(cfg);
    ASSERT_TRUE(cam->start());
    media = std::make_unique<camemu::Media>(*cam);
    media->setFrameInterval(40);
  }

  void StartRecorder() {
    dvr = std::make_unique<dvremu::Emulator>();
    ASSERT_TRUE(dvr->start());
    // What the program's start-up does for the recorder SDK.
    ASSERT_EQ(CQXGlobal::Startup(), 1);
    sdkStarted = true;
  }
  bool sdkStarted = false;

  // The list keeps one device per host: the recorder is reached by name.
  CDevice* AddDevice(const std::u16string& name, uint16_t port, const std::u16string& pwd, int type,
                     const std::u16string& guid) {
    CDevInfo info(name, type == DEV_TYPE_DVR ? u"localhost" : u"127.0.0.1", port, u"admin", pwd, 4, u"", u"", u"", u"", 0, 0, type, guid,
                  u"REGION-1");
    CDevice* d = new CDevice(info);
    EXPECT_TRUE(CDeviceManager::GetInstance()->Add(d));
    return CDeviceManager::GetInstance()->FindDevice(guid, 1);
  }

  // A device item with its channel items, as the device manager fills the page's tree.
  QTreeWidgetItem* AddToTree(QTreeWidget* tree, CDevice* device) {
    auto node = std::make_unique<DeviceTreeNode>();
    node->type = DeviceTreeNode::kDevice;
    node->object = device;
    CTreeCtrlTarget target(tree);
    const auto item = target.Insert(0, device->GetDevInfo().GetName(), 1, node.get(), false);
    for (int ch = 1; ch <= 4; ++ch) {
      const std::u16string text = LoadResString(8186) + (ch < 10 ? u"0" : u"") + plat::utf8ToUtf16(std::to_string(ch));
      target.SetChannel(target.Insert(item, text, 4, nullptr, false), ch);
    }
    nodes.push_back(std::move(node));
    return reinterpret_cast<QTreeWidgetItem*>(item);
  }

  static void SelectChannel(QTreeWidget* tree, QTreeWidgetItem* device, int channel) {
    QTreeWidgetItem* item = device->child(channel - 1);
    tree->setCurrentItem(item);
    item->setSelected(true);
  }

  static void Press(QWidget* page, int id) {
    auto* b = page->findChild<QAbstractButton*>(QString::number(id));
    ASSERT_NE(b, nullptr) << id;
    b->click();
  }

  static void ClickCell(QWidget* page, int index) {
    SendWidgetMessage(page, WM_SCHEDULE_CELL_CLICKED, static_cast<uintptr_t>(index), 0);
  }

  bool HasNotice(uint32_t id) {
    const std::u16string text = LoadResString(id);
    for (const auto& n : (*ui)->notices)
      if (n.rfind(text, 0) == 0) return true;
    return false;
  }

  // Pictures keep coming into the window and each is a frame of [lo, hi).
  static bool PlaysFramesOf(plat::WindowHandle wnd, int lo, int hi, int pictures = 3) {
    const uint64_t since = Serial(wnd);
    return WaitFor([&] {
      uint64_t serial = 0;
      const int f = FrameNumber(wnd, &serial);
      return serial >= since + static_cast<uint64_t>(pictures) && f >= lo && f < hi;
    });
  }
};

// The recorder behind the camera protocol (the camera emulator holding files) plays, pauses
// and changes speed, and downloads; it cannot step, seek, snapshot or set the volume, which the
// page shows unavailable while it plays. The other recorder's search held back by the device:
// the page is busy, a second Find says a search runs.
TEST_F(PlaybackPages, RemotePageOfTheCameraProtocolRecorderAndAHeldSearch) {
  StartCamera();
  StartRecorder();
  // Two files of channel 1 on 8 December, the first showing frames 0-49 of the clip, the
  // second 50-99.
  std::vector<camemu::StoredFile> files(2);
  for (int i = 0; i < 2; ++i) {
    camemu::StoredFile& f = files[static_cast<size_t>(i)];
    f.name = "ch01_file" + std::to_string(i) + ".h264";
    f.channel = 1;
    f.start = LocalSeconds(2026, 12, 8, 10 + i * 2, 0, 0);
    f.end = f.start + 1800;
    f.frames = Frames(static_cast<size_t>(i) * 50, static_cast<size_t>(i) * 50 + 50);
    for (int b = 0; b < 5000 + i * 333; ++b) f.bytes.push_back(static_cast<uint8_t>(b * 11 + i));
  }
  media->setFiles(files);
  // The recorder of its own protocol: one file of channel 1 that day.
  dvremu::RecordedFile rf;
  rf.name = "0120261208150000";
  rf.channel = 1;
  rf.start = {2026, 12, 8, 15, 0, 0};
  rf.end = {2026, 12, 8, 15, 20, 0};
  rf.data.assign(100, 1);
  dvr->services().addFile(rf);

  CDevice* nvr = AddDevice(u"Hall_NVR", cam->port(), u"admin", DEV_TYPE_NVR, kNvrGuid);
  CDevice* dvrDev = AddDevice(u"库房", dvr->port(), u"12345", DEV_TYPE_DVR, kDvrGuid);
  ASSERT_TRUE(nvr && dvrDev);

  CDlgPlayback page;
  ASSERT_TRUE(page.Create(&host));
  page.setGeometry(0, 0, 1280, 800);
  page.show();
  host.show();
  QTreeWidgetItem* nvrItem = AddToTree(page.GetDeviceTree(), nvr);
  QTreeWidgetItem* dvrItem = AddToTree(page.GetDeviceTree(), dvrDev);
  page.GetCalendar()->setSelectedDate(QDate(2026, 12, 8));
  const plat::WindowHandle wnd = page.GetPlayScreen()->GetWnd(0)->GetSafeHwnd();

  // The day's files of channel 1 on the time bar.
  SelectChannel(page.GetDeviceTree(), nvrItem, 1);
  Press(&page, CPlaybackPageBase::IDC_FIND);
  page.FinishSearch();
  EXPECT_TRUE(HasNotice(8534));
  ASSERT_EQ(page.GetTimeBar()->CellCount(), 2);
  EXPECT_EQ(page.GetTimeBar()->Cell(1).StartHour, 12);
  EXPECT_EQ(page.GetTimeBar()->Cell(1).EndMinute, 30);
  EXPECT_FALSE(page.IsBusy());

  // The second cell plays the second file.
  ClickCell(&page, 1);
  EXPECT_TRUE(page.IsBusy());
  ASSERT_TRUE(WaitFor([&] { return page.GetPlayState() == PlayState::kPlaying; })) << (*ui)->notices.size();
  ASSERT_TRUE(PlaysFramesOf(wnd, 50, 100)) << FrameNumber(wnd);
  // The camera-protocol recorder steps no frame either way: both steps are shown unavailable;
  // snapshot, position and volume act.
  for (int id : {CPlaybackPageBase::IDC_FRAME_BACK, CPlaybackPageBase::IDC_FRAME_FORWARD})
    EXPECT_FALSE(page.findChild<QWidget*>(QString::number(id))->isEnabled()) << "control " << id;
  for (int id : {CPlaybackPageBase::IDC_SNAPSHOT, CPlaybackPageBase::IDC_POSITION, CPlaybackPageBase::IDC_VOLUME,
                 CPlaybackPageBase::IDC_SOUND})
    EXPECT_TRUE(page.findChild<QWidget*>(QString::number(id))->isEnabled()) << "control " << id;
  harness::SaveScreenshot(&host, "playback_remote");

  // Another channel of another device selected while it plays: play/pause and download still
  // go to the file the search found.
  SelectChannel(page.GetDeviceTree(), dvrItem, 2);
  Press(&page, CPlaybackPageBase::IDC_PLAY);  // pause
  EXPECT_EQ(page.GetPlayState(), PlayState::kPaused);
  Press(&page, CPlaybackPageBase::IDC_PLAY);  // resume
  EXPECT_EQ(page.GetPlayState(), PlayState::kPlaying);
  Press(&page, CPlaybackPageBase::IDC_FAST);
  EXPECT_EQ(page.GetPlayState(), PlayState::kSpeedOrFrame);
  Press(&page, CPlaybackPageBase::IDC_SLOW);
  Press(&page, CPlaybackPageBase::IDC_PLAY);  // back to normal
  EXPECT_EQ(page.GetPlayState(), PlayState::kPlaying);
  ASSERT_TRUE(cam->waitUntil([&] { return media->playbackArguments().size() >= 6; }));
  const std::vector<uint16_t> want{0x50AA, 0x50A1, 0x50A2, 0x50A3, 0x50A6, 0x50A2};
  EXPECT_EQ(media->playbackArguments(), want);
  EXPECT_TRUE(PlaysFramesOf(wnd, 50, 100));

  Press(&page, CPlaybackPageBase::IDC_DOWNLOAD);
  ASSERT_TRUE(WaitFor([&] { return !page.IsDownloading(); }));
  EXPECT_EQ(page.ProgressText(), "Finish");
  const std::string nvrCopy = plat::toNativePath(page.LastDownloadPath());
  EXPECT_EQ(fs::path(nvrCopy).parent_path(), root / "d" / "DownloadFile");
  EXPECT_EQ(fs::path(nvrCopy).filename(), "Hall_NVR_ch01_file1.h264") << "the device's and the file's names";
  EXPECT_EQ(ReadFile(nvrCopy), files[1].bytes);

  // A click on the cell already playing changes nothing; Stop leaves the page idle.
  ClickCell(&page, 1);
  EXPECT_EQ(page.PlayingName(), u"ch01_file1.h264");
  Press(&page, CPlaybackPageBase::IDC_STOP);
  EXPECT_EQ(page.GetPlayState(), PlayState::kIdle);
  EXPECT_FALSE(page.IsBusy());
  EXPECT_TRUE(WaitFor([&] { return cam->connections(kIpcChanPlayback) == 0; }));

  // The first file played to its end: the page stops by itself, shows Play again and is
  // free, so leaving it is not refused. While it plays the position stays at the start.
  auto* position = page.findChild<QSlider*>(QString::number(CPlaybackPageBase::IDC_POSITION));
  auto* play = page.findChild<CStateButton*>(QString::number(CPlaybackPageBase::IDC_PLAY));
  ASSERT_TRUE(position && play);
  ClickCell(&page, 0);
  ASSERT_TRUE(WaitFor([&] { return page.GetPlayState() == PlayState::kPlaying; }));
  ASSERT_TRUE(PlaysFramesOf(wnd, 0, 50)) << FrameNumber(wnd);
  EXPECT_EQ(position->value(), 0);
  EXPECT_EQ(play->GetState(), 1);
  EXPECT_TRUE(WaitFor([&] { return page.GetPlayState() == PlayState::kIdle; })) << "the ended file still plays";
  EXPECT_FALSE(page.IsBusy());
  EXPECT_EQ(play->GetState(), 0);
  EXPECT_EQ(position->value(), 0);
  EXPECT_TRUE(WaitFor([&] { return cam->connections(kIpcChanPlayback) == 0; }));

  // While the recorder holds its answer back the search runs: the page is busy, and a second
  // Find is told that a search runs.
  dvr->hold(dvremu::kFileFindNext, true);
  SelectChannel(page.GetDeviceTree(), dvrItem, 1);
  Press(&page, CPlaybackPageBase::IDC_FIND);
  ASSERT_TRUE(dvr->waitForRequests(dvremu::kFileFindNext, 1));
  EXPECT_TRUE(page.IsBusy());
  Press(&page, CPlaybackPageBase::IDC_FIND);
  EXPECT_TRUE(HasNotice(8533));
  dvr->hold(dvremu::kFileFindNext, false);
  dvr->releaseHeld();
  page.FinishSearch();
  EXPECT_FALSE(page.IsBusy());
  ASSERT_EQ(page.GetTimeBar()->CellCount(), 1);
  EXPECT_EQ(page.GetTimeBar()->Cell(0).EndMinute, 20);
}

// The remote page's control strip on a screen 1024 pixels wide and on a wide one: no two of
// its controls overlap and every one lies on the page, the download buttons included. The page
// reaches the screen's bottom right corner, where a notice rises after every search: Find stays
// clear of it.
TEST_F(PlaybackPages, RemoteControlStripFitsNarrowAndWidePages) {
  QImage notice;
  ASSERT_TRUE(LoadPngResource(&notice, 184));
  CDlgPlayback page;
  ASSERT_TRUE(page.Create(&host));
  host.resize(1920, 800);
  page.show();
  host.show();
  const int ids[] = {CPlaybackPageBase::IDC_PLAY, CPlaybackPageBase::IDC_STOP, CPlaybackPageBase::IDC_SLOW,
                     CPlaybackPageBase::IDC_FAST, CPlaybackPageBase::IDC_FRAME_BACK,
                     CPlaybackPageBase::IDC_FRAME_FORWARD, CPlaybackPageBase::IDC_SNAPSHOT,
                     CPlaybackPageBase::IDC_SOUND, CPlaybackPageBase::IDC_VOLUME,
                     CPlaybackPageBase::IDC_DOWNLOAD, CPlaybackPageBase::IDC_PROGRESS,
                     CPlaybackPageBase::IDC_POSITION};
  for (int width : {1024, 1280, 1920}) {
    page.setGeometry(0, 0, width, 700);
    QCoreApplication::processEvents();
    ASSERT_EQ(page.width(), width);
    std::vector<QRect> rects;
    for (int id : ids) {
      auto* w = page.findChild<QWidget*>(QString::number(id));
      ASSERT_NE(w, nullptr) << id;
      rects.push_back(w->geometry());
      EXPECT_TRUE(page.rect().contains(w->geometry())) << "control " << id << " at width " << width;
    }
    for (size_t a = 0; a < rects.size(); ++a)
      for (size_t b = a + 1; b < rects.size(); ++b)
        EXPECT_FALSE(rects[a].intersects(rects[b]))
            << "controls " << ids[a] << " and " << ids[b] << " overlap at width " << width;
    auto* find = page.findChild<QWidget*>(QString::number(CPlaybackPageBase::IDC_FIND));
    ASSERT_NE(find, nullptr);
    const QRect noticeRect(page.width() - notice.width(), page.height() - notice.height(), notice.width(),
                           notice.height());
    EXPECT_FALSE(find->geometry().intersects(noticeRect)) << "at width " << width << " find bottom " << find->geometry().bottom() << " of " << page.height();
  }
}

TEST_F(PlaybackPages, LocalSearchEndsWithThePageAndAlarmKindWalksNothing) {
  CDevice* camera = AddDevice(u"Many", 9, u"admin", DEV_TYPE_IPC, kCamGuid);
  ASSERT_NE(camera, nullptr);
  // Enough files that the walk is still going when the page goes.
  const fs::path folder = root / "d" / "RecordFile" / "deep";
  fs::create_directories(folder);
  for (int i = 0; i < 4000; ++i)
    std::ofstream(folder / ("Preview_Many_01_20260101_0000" + std::to_string(10 + i % 50) + "_" + std::to_string(i)));
  auto page = std::make_unique<CDlgLPlayback>();
  ASSERT_TRUE(page->Create(&host));
  page->resize(1280, 800);
  QTreeWidgetItem* item = AddToTree(page->GetDeviceTree(), camera);
  SelectChannel(page->GetDeviceTree(), item, 1);
  page->GetCalendar()->setSelectedDate(QDate(2026, 1, 1));

  page->GetTypeCombo()->setCurrentIndex(2);  // alarm recordings: no folder at all
  Press(page.get(), CPlaybackPageBase::IDC_FIND);
  page->FinishSearch();
  EXPECT_TRUE(HasNotice(8534));
  EXPECT_EQ(page->GetTimeBar()->CellCount(), 0);
  (*ui)->notices.clear();

  page->GetTypeCombo()->setCurrentIndex(1);  // manual recordings
  Press(page.get(), CPlaybackPageBase::IDC_FIND);
  EXPECT_TRUE(page->IsSearching());
  page.reset();  // stops the walk and joins its thread
  QCoreApplication::processEvents();
  EXPECT_FALSE(HasNotice(8534));

  // Walked to its end, every one of them is a cell.
  page = std::make_unique<CDlgLPlayback>();
  ASSERT_TRUE(page->Create(&host));
  item = AddToTree(page->GetDeviceTree(), camera);
  SelectChannel(page->GetDeviceTree(), item, 1);
  page->GetCalendar()->setSelectedDate(QDate(2026, 1, 1));
  Press(page.get(), CPlaybackPageBase::IDC_FIND);
  page->FinishSearch();
  EXPECT_EQ(page->GetTimeBar()->CellCount(), 4000);
}

}  // namespace

// The recorder holds back its answer to the next-file request, so the page's search waits in
// the device layer: the page may go or the device be deleted meanwhile. What the page played
// from a deleted device is stopped on it before it goes.
TEST_F(PlaybackPages, RecorderLetGoEndsTheSearchAndThePlaybackThatUseIt) {
  StartRecorder();
  dvremu::StreamClip dclip;
  std::string error;
  ASSERT_TRUE(dvremu::generatedClip(false, 352, 288, 60, 25, false, &dclip, &error)) << error;
  const std::vector<uint8_t> stream = dvremu::streamFile(dclip);
  dvremu::RecordedFile rf;
  rf.name = "0120261208150000";
  rf.channel = 1;
  rf.start = {2026, 12, 8, 15, 0, 0};
  rf.end = {2026, 12, 8, 15, 20, 0};
  rf.data.assign(stream.begin() + dvremu::kStreamHeaderBytes, stream.end());
  dvr->services().setStreamHeader(std::vector<uint8_t>(stream.begin(), stream.begin() + dvremu::kStreamHeaderBytes));
  dvr->services().addFile(rf);
  CDevice* device = AddDevice(u"库房", dvr->port(), u"12345", DEV_TYPE_DVR, kDvrGuid);
  ASSERT_NE(device, nullptr);

  std::unique_ptr<CDlgPlayback> page;
  auto openPage = [&] {
    page = std::make_unique<CDlgPlayback>();
    ASSERT_TRUE(page->Create(&host));
    page->resize(1280, 800);
    page->GetCalendar()->setSelectedDate(QDate(2026, 12, 8));
    SelectChannel(page->GetDeviceTree(), AddToTree(page->GetDeviceTree(), device), 1);
  };
  dvr->hold(dvremu::kFileFindNext, true);
  // The page left while its search waits for the recorder: once the recorder answers, the
  // search left behind ends and tells no page.
  openPage();
  Press(page.get(), CPlaybackPageBase::IDC_FIND);
  ASSERT_TRUE(dvr->waitForRequests(dvremu::kFileFindNext, 1));
  ASSERT_TRUE(page->IsSearching());
  page.reset();
  dvr->hold(dvremu::kFileFindNext, false);
  dvr->releaseHeld();
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_FALSE(HasNotice(8534));

  // The device deleted from the list while a search uses its login: the page's search ends at
  // once, and the search cut short claims no result.
  dvr->hold(dvremu::kFileFindNext, true);
  openPage();
  Press(page.get(), CPlaybackPageBase::IDC_FIND);
  ASSERT_TRUE(dvr->waitForRequests(dvremu::kFileFindNext, 2));
  ASSERT_TRUE(CDeviceManager::GetInstance()->Remove(device));
  EXPECT_FALSE(page->IsSearching());
  EXPECT_FALSE(page->IsBusy());
  dvr->hold(dvremu::kFileFindNext, false);
  dvr->releaseHeld();

  // A playback of the device deleted meanwhile stops before the device goes.
  device = AddDevice(u"库房", dvr->port(), u"12345", DEV_TYPE_DVR, kDvrGuid);
  ASSERT_NE(device, nullptr);
  openPage();
  page->show();
  Press(page.get(), CPlaybackPageBase::IDC_FIND);
  page->FinishSearch();
  ASSERT_EQ(page->GetTimeBar()->CellCount(), 1);
  ClickCell(page.get(), 0);
  ASSERT_TRUE(WaitFor([&] { return page->GetPlayState() == PlayState::kPlaying; }));
  const plat::WindowHandle wnd = page->GetPlayScreen()->GetWnd(0)->GetSafeHwnd();
  ASSERT_TRUE(PlaysFramesOf(wnd, 0, 60)) << FrameNumber(wnd);
  ASSERT_TRUE(CDeviceManager::GetInstance()->Remove(device));
  EXPECT_EQ(page->GetPlayState(), PlayState::kIdle);
  EXPECT_FALSE(page->IsBusy());
  // The stop reached the recorder before the device went, though the device's other queued
  // work was dropped.
  EXPECT_TRUE(dvr->waitForRequests(dvremu::kReplayStop, 1));
  // Its buttons find no device now and do nothing.
  Press(page.get(), CPlaybackPageBase::IDC_PLAY);
  Press(page.get(), CPlaybackPageBase::IDC_DOWNLOAD);
  EXPECT_EQ(page->GetPlayState(), PlayState::kIdle);
  EXPECT_FALSE(page->IsDownloading());
}
