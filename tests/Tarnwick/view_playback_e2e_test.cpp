// The playback pages against the emulators over loopback. Remote: a day's files of a channel
// found on the time bar, the chosen file played (its frame numbers read back from the play
// window), speed, pause and step, a download whose bytes equal the device's, a tree selection
// changed during playback that changes nothing, and the page busy until it is left idle.
// Local: recordings made from the camera (AVI) and the recorder (.264) under the ring's names
// and a download found by the walk and played, with position and step.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSlider>
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
#include "harness/UiHarness.h"
#include "plat/audio.h"
#include "plat/clock.h"
#include "plat/paths.h"
#include "plat/surface.h"
#include "plat/text.h"
#include "plat/window.h"
#include "shell/DiskHelpers.h"
#include "shell/LocalSettings.h"
#include "shell/Language.h"
#include "view/DlgLPlayback.h"
#include "view/DlgPlayback.h"
#include "view/PlayScreen.h"
#include "view/PlaybackNames.h"
#include "view/RecordFileRing.h"
#include "view/ViewMessages.h"
#include "support/ShownFrame.h"

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

// A path as the file system resolves it (the ring's names double their separators).
fs::path Normal(const std::u16string& windowsPath) { return fs::path(plat::toNativePath(windowsPath)).lexically_normal(); }
fs::path Normal(const std::string& nativePath) { return fs::path(nativePath).lexically_normal(); }

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
    char tmpl[] = "/tmp/playbackXXXXXX";
    root = mkdtemp(tmpl);
    for (const char* d : {"home", "c", "d"}) fs::create_directories(root / d);
    setenv("TARNWICK_HOME", (root / "home").c_str(), 1);
    setenv("TARNWICK_DRIVES", ((root / "c").string() + ":" + (root / "d").string()).c_str(), 1);
    plat::resetDriveMap();
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    ui = std::make_unique<harness::ScopedScriptedUi>();
    CLocalSettings::DeleteInstance();
    CLocalSettings::GetInstance()->SetDownLoadPath(u"D:\\DownloadFile\\");

    clipgen::Options o;
    o.frames = kClipFrames;
    std::string error;
    ASSERT_TRUE(clipgen::generate(o, &clip, &error)) << error;
    host.resize(1280, 800);
  }

  void TearDown() override {
    CDeviceManager::ReleaseInstance();
    if (sdkStarted) CQXGlobal::Cleanup();
    CRecordFileRing::DeleteInstance();
    CLocalSettings::DeleteInstance();
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
      char16_t text[32];
      const std::u16string prefix = LoadResString(8186);
      std::u16string t = prefix + (ch < 10 ? u"0" : u"") + plat::utf8ToUtf16(std::to_string(ch));
      target.Insert(item, t, 4, nullptr, false);
      (void)text;
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

TEST_F(PlaybackPages, RemotePageFindsPlaysAndDownloadsOnBothKindsOfDevice) {
  StartCamera();
  StartRecorder();
  // The recorder behind the camera protocol: two files of channel 1 on 8 December, the first
  // showing frames 0-49 of the clip, the second 50-99.
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

  // Find with the device item selected refuses.
  page.GetDeviceTree()->setCurrentItem(nvrItem);
  Press(&page, CPlaybackPageBase::IDC_FIND);
  EXPECT_TRUE(HasNotice(8252));
  EXPECT_FALSE(page.IsBusy());

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
  ASSERT_NE(page.Playback(), nullptr);
  EXPECT_EQ(page.PlayState(), 0);
  EXPECT_TRUE(page.IsBusy());
  ASSERT_TRUE(PlaysFramesOf(wnd, 50, 100)) << FrameNumber(wnd);

  // Another channel of another device selected while it plays: play/pause and download still
  // go to the file the search found.
  SelectChannel(page.GetDeviceTree(), dvrItem, 2);
  Press(&page, CPlaybackPageBase::IDC_PLAY);  // pause
  EXPECT_EQ(page.PlayState(), 1);
  Press(&page, CPlaybackPageBase::IDC_PLAY);  // resume
  EXPECT_EQ(page.PlayState(), 0);
  Press(&page, CPlaybackPageBase::IDC_FAST);
  EXPECT_EQ(page.PlayState(), 2);
  Press(&page, CPlaybackPageBase::IDC_SLOW);
  Press(&page, CPlaybackPageBase::IDC_PLAY);  // back to normal
  EXPECT_EQ(page.PlayState(), 0);
  ASSERT_TRUE(cam->waitUntil([&] { return media->playbackArguments().size() >= 6; }));
  const std::vector<uint16_t> want{0x50AA, 0x50A1, 0x50A2, 0x50A3, 0x50A6, 0x50A2};
  EXPECT_EQ(media->playbackArguments(), want);
  EXPECT_TRUE(PlaysFramesOf(wnd, 50, 100));

  Press(&page, CPlaybackPageBase::IDC_DOWNLOAD);
  ASSERT_TRUE(WaitFor([&] { return page.Downloader() == nullptr; }));
  EXPECT_EQ(page.ProgressText(), "Finish");
  const std::string nvrCopy = plat::toNativePath(page.LastDownloadPath());
  EXPECT_EQ(fs::path(nvrCopy).parent_path(), root / "d" / "DownloadFile");
  EXPECT_EQ(ReadFile(nvrCopy), files[1].bytes);

  // A click on the cell already playing changes nothing; Stop leaves the page idle.
  ClickCell(&page, 1);
  EXPECT_EQ(page.PlayingName(), u"ch01_file1.h264");
  Press(&page, CPlaybackPageBase::IDC_STOP);
  EXPECT_EQ(page.PlayState(), -1);
  EXPECT_FALSE(page.IsBusy());
  EXPECT_TRUE(WaitFor([&] { return cam->connections(kIpcChanPlayback) == 0; }));

  // The recorder's channel 1: found, played, stepped, downloaded with the device's bytes.
  // While its answer is held back the search runs: the page is busy and a second Find waits.
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
  ClickCell(&page, 0);
  ASSERT_NE(page.Playback(), nullptr);
  ASSERT_TRUE(PlaysFramesOf(wnd, 0, 60)) << FrameNumber(wnd);
  Press(&page, CPlaybackPageBase::IDC_PLAY);  // pause
  EXPECT_EQ(page.PlayState(), 1);
  // A picture already decoded may still be shown after the pause: wait until none comes.
  int paused = -1;
  ASSERT_TRUE(WaitFor([&] {
    const int before = FrameNumber(wnd);
    plat::sleepMs(400);
    QCoreApplication::processEvents();
    paused = FrameNumber(wnd);
    return paused >= 0 && paused == before;
  }));
  Press(&page, CPlaybackPageBase::IDC_FRAME_FORWARD);
  EXPECT_EQ(page.PlayState(), 2);
  // The step shows a later picture of the same file, and then stays.
  EXPECT_TRUE(WaitFor([&] { return FrameNumber(wnd) > paused && FrameNumber(wnd) < 60; }))
      << paused << " " << FrameNumber(wnd);
  Press(&page, CPlaybackPageBase::IDC_DOWNLOAD);
  ASSERT_TRUE(WaitFor([&] {
    page.OnDownloadTimer();
    return page.Downloader() == nullptr;
  }));
  EXPECT_EQ(page.ProgressText(), "Finish");
  const std::string dvrCopy = plat::toNativePath(page.LastDownloadPath());
  EXPECT_EQ(fs::path(dvrCopy).filename().string(), "库房_01_20261208150000_20261208152000.h264");
  EXPECT_EQ(ReadFile(dvrCopy), stream);

  harness::SaveScreenshot(&host, "playback_remote");
  Press(&page, CPlaybackPageBase::IDC_STOP);
  EXPECT_FALSE(page.IsBusy());
}

// Records channel 1 of a device for about `ms` real milliseconds into a name the ring gives,
// as the preview page does; the native paths of what was written.
std::vector<std::string> RecordWithTheRing(CDevice* device, int ms) {
  std::vector<std::string> out;
  auto dispatcher = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle window =
      plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; }, dispatcher);
  IDevPreview* preview = CDeviceManager::GetInstance()->GetChannelPreviewByGuid(device->GetGuid(), 1);
  EXPECT_NE(preview, nullptr);
  if (!preview) return out;
  EXPECT_TRUE(preview->SetPlayWnd(window));
  EXPECT_TRUE(preview->StartPreview());
  std::u16string name;
  EXPECT_TRUE(CRecordFileRing::GetInstance()->NewRecordFile(device->GetDevType(), device->GetDevInfo().GetName(), 1, name));
  EXPECT_TRUE(preview->StartRecord(0, plat::toNativePath(name).c_str()));
  const int64_t end = plat::monotonicMs() + ms;
  while (plat::monotonicMs() < end) {
    dispatcher->pump(0);
    plat::sleepMs(20);
  }
  preview->StopRecord();
  preview->StopPreview();
  device->ReleaseAll();
  plat::unregisterWindow(window);
  return CRecordFileRing::RecordingFilesOf(name);
}

TEST_F(PlaybackPages, LocalPageFindsAndPlaysTheRecordingsOfTheCameraAndTheRecorder) {
  StartCamera();
  StartRecorder();
  media->setLiveFrames(Frames(0, kClipFrames), true);
  dvremu::StreamClip dclip;
  std::string error;
  ASSERT_TRUE(dvremu::generatedClip(false, 352, 288, 50, 25, false, &dclip, &error)) << error;
  dvr->setClip(dclip);
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  ring->SetFreeSpaceQuery([](const std::u16string&) -> int64_t { return int64_t{1} << 40; });
  CRecordFileRing::DiskFlags flags{};
  flags[1] = 1;  // d:
  ring->SetDisks(flags);

  CDevice* camera = AddDevice(u"Gate_Cam", cam->port(), u"admin", DEV_TYPE_IPC, kCamGuid);
  CDevice* recorder = AddDevice(u"库房", dvr->port(), u"12345", DEV_TYPE_DVR, kDvrGuid);
  ASSERT_TRUE(camera && recorder);
  const std::vector<std::string> avi = RecordWithTheRing(camera, 3000);
  const std::vector<std::string> h264 = RecordWithTheRing(recorder, 3000);
  ASSERT_EQ(avi.size(), 1u);
  ASSERT_EQ(h264.size(), 1u);
  EXPECT_EQ(fs::path(avi[0]).extension(), ".avi");
  EXPECT_EQ(fs::path(h264[0]).extension(), ".264");
  // The day the recordings were made (read from the name, so a run across midnight holds),
  // and a download of the recorder's channel 1 of that day, as the remote page names them.
  playback_names::ParsedName made;
  ASSERT_TRUE(playback_names::ParseRecordingName(plat::utf8ToUtf16(fs::path(h264[0]).filename().string()), u"库房", made));
  const std::string day = made.start.substr(0, 8);
  const QDate recordedDay(std::stoi(day.substr(0, 4)), std::stoi(day.substr(4, 2)), std::stoi(day.substr(6, 2)));
  fs::create_directories(root / "d" / "DownloadFile");
  const std::u16string downloadName =
      playback_names::DownloadFileName(DEV_TYPE_DVR, u"库房", 1, day + "000001", day + "000301", u"x");
  fs::copy_file(h264[0], root / "d" / "DownloadFile" / plat::utf16ToUtf8(downloadName));

  CDlgLPlayback page;
  ASSERT_TRUE(page.Create(&host));
  page.setGeometry(0, 0, 1280, 800);
  page.show();
  host.show();
  page.GetCalendar()->setSelectedDate(recordedDay);
  QTreeWidgetItem* camItem = AddToTree(page.GetDeviceTree(), camera);
  QTreeWidgetItem* dvrItem = AddToTree(page.GetDeviceTree(), recorder);
  const plat::WindowHandle wnd = page.GetPlayScreen()->GetWnd(0)->GetSafeHwnd();

  // The camera's recording: found, played, positioned, paused and stepped.
  SelectChannel(page.GetDeviceTree(), camItem, 1);
  Press(&page, CPlaybackPageBase::IDC_FIND);
  page.FinishSearch();
  EXPECT_TRUE(HasNotice(8534));
  ASSERT_EQ(page.GetTimeBar()->CellCount(), 1);
  EXPECT_EQ(Normal(page.GetTimeBar()->GetCellName(0)), Normal(avi[0]));
  ClickCell(&page, 0);
  ASSERT_NE(page.Player(), nullptr);
  EXPECT_TRUE(page.IsPlaying());
  ASSERT_TRUE(PlaysFramesOf(wnd, 0, kClipFrames)) << FrameNumber(wnd);
  Press(&page, CPlaybackPageBase::IDC_PLAY);
  EXPECT_EQ(page.PlayState(), 1);
  auto* position = page.findChild<QSlider*>(QString::number(CPlaybackPageBase::IDC_POSITION));
  ASSERT_NE(position, nullptr);
  emit position->sliderMoved(50);
  ASSERT_TRUE(WaitFor([&] { return page.Player()->GetPlayPos() > 0.4f; }));
  const int before = FrameNumber(wnd);
  Press(&page, CPlaybackPageBase::IDC_FRAME_FORWARD);
  ASSERT_TRUE(WaitFor([&] { return FrameNumber(wnd) == (before + 1) % kClipFrames; })) << before << " " << FrameNumber(wnd);
  Press(&page, CPlaybackPageBase::IDC_FRAME_BACK);
  ASSERT_TRUE(WaitFor([&] { return FrameNumber(wnd) == before; })) << FrameNumber(wnd);
  // Played to its end: the slot stops and the chosen file is let go.
  Press(&page, CPlaybackPageBase::IDC_FAST);
  EXPECT_EQ(page.PlayState(), 0);
  ASSERT_TRUE(WaitFor([&] { return page.PlayState() == -1; }));
  EXPECT_TRUE(page.ChosenFile().empty());
  EXPECT_FALSE(page.IsPlaying());

  // The recorder's recording and its download; the camera's is not among them.
  SelectChannel(page.GetDeviceTree(), dvrItem, 1);
  Press(&page, CPlaybackPageBase::IDC_FIND);
  page.FinishSearch();
  ASSERT_EQ(page.GetTimeBar()->CellCount(), 2);
  EXPECT_EQ(Normal(page.GetTimeBar()->GetCellName(0)), Normal(h264[0]));
  EXPECT_EQ(page.GetTimeBar()->Cell(1).EndMinute, 3);
  ClickCell(&page, 0);
  ASSERT_NE(page.Player(), nullptr);
  ASSERT_TRUE(PlaysFramesOf(wnd, 0, 50)) << FrameNumber(wnd);
  harness::SaveScreenshot(&host, "playback_local");
  // Another channel selected meanwhile: what plays stays.
  SelectChannel(page.GetDeviceTree(), camItem, 2);
  Press(&page, CPlaybackPageBase::IDC_PLAY);
  EXPECT_EQ(page.PlayState(), 1);
  EXPECT_EQ(Normal(page.PlayingPath()), Normal(h264[0]));
  // A snapshot with no disk to take it is refused, not written at the root.
  struct NoDisks : DiskProvider {
    int64_t FreeSpaceMB(const std::u16string&) override { return -1; }
    std::vector<std::u16string> FixedDriveRoots() override { return {}; }
  };
  SetDiskProvider(std::make_shared<NoDisks>());
  Press(&page, CPlaybackPageBase::IDC_SNAPSHOT);
  SetDiskProvider(nullptr);
  EXPECT_TRUE(HasNotice(8351));
  EXPECT_FALSE(HasNotice(8350));
  // The recorder let go (its connection dropped, say): what the page plays of it stops.
  recorder->ReleaseAll();
  EXPECT_EQ(page.Player(), nullptr);
  EXPECT_FALSE(page.IsPlaying());
  Press(&page, CPlaybackPageBase::IDC_STOP);
  EXPECT_FALSE(page.IsPlaying());
  // A recording deleted after the search.
  fs::remove(h264[0]);
  ClickCell(&page, 0);
  EXPECT_TRUE(HasNotice(8537));
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
// the device layer. Device waits are stretched tenfold (the library waits 40 s for an answer,
// the finder polls for 400 s): leaving the page or deleting the device must not wait for them.
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
  struct Stretched {
    Stretched() { plat::setTimeScale(10); }
    ~Stretched() { plat::setTimeScale(1.0); }
  };
  constexpr int kPromptMs = 15000;  // far inside the 40 s the library would wait
  QElapsedTimer took;
  {
    Stretched stretched;
    dvr->hold(dvremu::kFileFindNext, true);
    // The page left while its search waits for the recorder.
    openPage();
    Press(page.get(), CPlaybackPageBase::IDC_FIND);
    ASSERT_TRUE(dvr->waitForRequests(dvremu::kFileFindNext, 1));
    ASSERT_TRUE(page->SearchThreadRunning());
    took.start();
    page.reset();
    EXPECT_LT(took.elapsed(), kPromptMs);

    // The device deleted from the list while a search uses its login: the search has ended
    // before the list let the device go.
    openPage();
    Press(page.get(), CPlaybackPageBase::IDC_FIND);
    ASSERT_TRUE(dvr->waitForRequests(dvremu::kFileFindNext, 2));
    took.start();
    ASSERT_TRUE(CDeviceManager::GetInstance()->Remove(device));
    EXPECT_LT(took.elapsed(), kPromptMs);
    EXPECT_FALSE(page->SearchThreadRunning());
    page->FinishSearch();
    EXPECT_FALSE(page->IsBusy());
    EXPECT_FALSE(HasNotice(8534));  // a search cut short claims no result
  }
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
  ASSERT_NE(page->Playback(), nullptr);
  const plat::WindowHandle wnd = page->GetPlayScreen()->GetWnd(0)->GetSafeHwnd();
  ASSERT_TRUE(PlaysFramesOf(wnd, 0, 60)) << FrameNumber(wnd);
  ASSERT_TRUE(CDeviceManager::GetInstance()->Remove(device));
  EXPECT_EQ(page->Playback(), nullptr);
  EXPECT_EQ(page->PlayState(), -1);
  EXPECT_FALSE(page->IsBusy());
  // Its buttons find no device now and do nothing.
  Press(page.get(), CPlaybackPageBase::IDC_PLAY);
  Press(page.get(), CPlaybackPageBase::IDC_DOWNLOAD);
  EXPECT_EQ(page->Playback(), nullptr);
  EXPECT_EQ(page->Downloader(), nullptr);
}
