// The live page against both emulators over loopback: a camera channel opened by double click
// and a recorder channel dragged onto the next window play side by side; the armed recorder's
// alarm reaches the alarm list through the device layer's thread, the pool and the posted
// message; a snapshot of the camera's window is a picture of the emulator's frame, and one the
// disk cannot hold says it failed and leaves no file; a manual recording of the recorder is
// rolled by size through the ring into saved streams, one of the camera stays one AVI file that
// libavformat plays. The page with four live windows and alarm rows is also the screenshot.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "support/PlayableFrames.h"
#include "camemu/camera.h"
#include "camemu/media.h"
#include "clipgen/clipgen.h"
#include "devices/DevMgrModel.h"
#include "devices/DeviceManager.h"
#include "devices/TreeCtrlTarget.h"
#include "dvremu/emulator.h"
#include "harness/DeviceWorkWait.h"
#include "harness/UiHarness.h"
#include "plat/audio.h"
#include "plat/clock.h"
#include "plat/paths.h"
#include "plat/surface.h"
#include "plat/text.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "support/FileSizeLimit.h"
#include "support/RecorderFile.h"
#include "support/TestFolder.h"
#include "view/DlgPreview.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"
#include "view/RecordFileRing.h"
#include "support/ShownFrame.h"
#include "view/SystemBridge.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kCamGuid[] = u"E2E-CAM";
constexpr char16_t kDvrGuid[] = u"E2E-DVR";

struct PreviewLive : ::testing::Test {
  fs::path root;
  clipgen::Clip clip;
  std::unique_ptr<camemu::Camera> cam;
  std::unique_ptr<camemu::Media> media;
  dvremu::Emulator emu;
  CDevice* camera = nullptr;
  CDevice* recorder = nullptr;
  CRegionInfo region{u"总部", u"R-1", u""};
  DeviceTreeNode regionNode{DeviceTreeNode::kRegion, &region};
  DeviceTreeNode cameraNode{DeviceTreeNode::kDevice, nullptr};
  DeviceTreeNode recorderNode{DeviceTreeNode::kDevice, nullptr};
  QTreeWidgetItem* cameraItem = nullptr;
  QTreeWidgetItem* recorderItem = nullptr;
  std::vector<std::u16string> notices;

  void SetUp() override {
    root = testsupport::NewTestFolder();
    for (const char* d : {"home", "c", "d"}) fs::create_directories(root / d);
    setenv("TARNWICK_HOME", (root / "home").c_str(), 1);
    setenv("TARNWICK_DRIVES", ((root / "c").string() + ":" + (root / "d").string()).c_str(), 1);
    plat::resetDriveMap();
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    ASSERT_TRUE(StartSystem());
    CUser::GetInstance()->SetName(u"admin");
    CUser::GetInstance()->SetPower(RIGHTS_ALL);
    CLocalSettings::GetInstance()->SetPictureSavePath(u"c:\\Capture\\");

    clipgen::Options o;
    o.frames = 50;
    std::string error;
    ASSERT_TRUE(clipgen::generate(o, &clip, &error)) << error;
    cam = std::make_unique<camemu::Camera>();
    ASSERT_TRUE(cam->start());
    media = std::make_unique<camemu::Media>(*cam);
    std::vector<camemu::MediaFrame> frames;
    for (size_t i = 0; i < clip.frames.size(); ++i) {
      camemu::MediaFrame f;
      f.data = clip.frameBytes(i);
      f.codec = 2;
      f.key = clip.frames[i].key;
      f.width = static_cast<uint16_t>(clip.width);
      f.height = static_cast<uint16_t>(clip.height);
      frames.push_back(std::move(f));
    }
    media->setLiveFrames(std::move(frames), true);
    media->setFrameInterval(40);
    dvremu::StreamClip stream;
    ASSERT_TRUE(dvremu::generatedClip(false, 352, 288, 50, 25, false, &stream, &error)) << error;
    emu.setClip(stream);
    ASSERT_TRUE(emu.start());

    CDeviceManager* devices = CDeviceManager::GetInstance();
    camera = new CDevice(CDevInfo(u"门口", u"127.0.0.1", cam->port(), u"admin", u"admin", 2, u"", u"", u"", u"", 0,
                                  0, DEV_TYPE_IPC, kCamGuid, u"R-1"));
    recorder = new CDevice(CDevInfo(u"录像机", u"localhost", emu.port(), u"admin", u"12345", 4, u"", u"", u"",
                                    u"", 0, 0, DEV_TYPE_DVR, kDvrGuid, u"R-1"));
    ASSERT_TRUE(devices->Add(camera));
    ASSERT_TRUE(devices->Add(recorder));
    cameraNode.object = camera;
    recorderNode.object = recorder;
  }

  void TearDown() override {
    SetDeviceMessageTarget(0);
    StopSystem();
    emu.stop();
    if (cam) cam->stop();
    unsetenv("TARNWICK_HOME");
    unsetenv("TARNWICK_DRIVES");
    plat::resetDriveMap();
    fs::remove_all(root);
  }

  // The page over a parent of the main window's size, with both devices in its tree.
  std::unique_ptr<CDlgPreview> MakePage(QWidget& main) {
    auto page = std::make_unique<CDlgPreview>();
    EXPECT_TRUE(page->Create(&main));
    main.resize(1280, 800);
    page->setGeometry(0, 0, 1280, 800);
    main.show();
    page->show();
    SetDeviceMessageTarget(page->GetSafeHwnd());
    page->Controller().GetHost().notice = [this](const std::u16string& t) { notices.push_back(t); };
    CTreeCtrlTarget tree(page->GetDeviceTree());
    const auto r = tree.Insert(0, region.Name, 0, &regionNode, true);
    const auto c = tree.Insert(r, camera->GetDevInfo().GetName(), 1, &cameraNode, true);
    const auto d = tree.Insert(r, recorder->GetDevInfo().GetName(), 1, &recorderNode, true);
    for (int n = 1; n <= 2; ++n) tree.SetChannel(tree.Insert(c, CDevMgrModel::ChannelText(n), 4, nullptr, false), n);
    for (int n = 1; n <= 4; ++n) tree.SetChannel(tree.Insert(d, CDevMgrModel::ChannelText(n), 4, nullptr, false), n);
    tree.Expand(r);
    tree.Expand(c);
    tree.Expand(d);
    cameraItem = reinterpret_cast<QTreeWidgetItem*>(c);
    recorderItem = reinterpret_cast<QTreeWidgetItem*>(d);
    page->GetPlayScreen()->SetMode(1, 0);
    return page;
  }

  static bool WaitFor(const std::function<bool()>& done, int realMs = 60000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > realMs) return false;
      harness::Pump();
      plat::sleepMs(20);
    }
    return true;
  }

  static int FrameNumber(CPlayWnd* w) { return testsupport::ShownFrameNumber(w->GetSafeHwnd()); }
  static bool ShowsPictures(CPlayWnd* w) {
    plat::PresentedPicture pic;
    return plat::lastPresented(w->GetSafeHwnd(), &pic) && pic.width > 0 && pic.serial >= 3;
  }

  // Device work runs on the devices' queues: a step waits until its results are back.
  static void Settle() { EXPECT_TRUE(harness::SettleDeviceWork(60000)); }
  static void Open(CDlgPreview& page, QTreeWidgetItem* channel, int window) {
    page.GetPlayScreen()->SetActiveIndex(window, 1);
    emit page.GetDeviceTree()->itemDoubleClicked(channel, 0);
    Settle();
  }
  static void Arm(CDlgPreview& page, QTreeWidgetItem* deviceItem) {
    page.GetDeviceTree()->setCurrentItem(deviceItem);
    page.OnCommand(CDlgPreview::ID_ARM);
    Settle();
  }
};


TEST_F(PreviewLive, CameraAndRecorderPlaySideBySideWithAlarmsSnapshotsAndARolledRecording) {
  QWidget main;
  std::unique_ptr<CDlgPreview> page = MakePage(main);
  CPlayScreen* screen = page->GetPlayScreen();

  Open(*page, cameraItem->child(0), 0);
  screen->SetActiveIndex(1, 1);
  page->BeginDrag(page->GetDeviceTree(), recorderItem->child(0));
  CPlayWnd* w1 = screen->GetWnd(1);
  ASSERT_TRUE(page->EndDrag(w1->mapToGlobal(w1->rect().center())));
  Settle();
  ASSERT_TRUE(WaitFor([&] { return FrameNumber(screen->GetWnd(0)) >= 0 && ShowsPictures(w1); }))
      << "camera " << FrameNumber(screen->GetWnd(0)) << ", recorder " << ShowsPictures(w1);
  EXPECT_EQ(TreeItemImage(cameraItem->child(0)), 5);
  EXPECT_EQ(TreeItemImage(recorderItem->child(0)), 5);

  // The recorder, armed, pushes an alarm on its own connection.
  Arm(*page, recorderItem);
  ASSERT_EQ(recorder->GetAlarmState(), 1);
  ASSERT_TRUE(emu.waitForRequests(dvremu::kSetAlarm, 1));
  ASSERT_TRUE(emu.raiseCycledAlarm(0));
  QTreeWidget* list = page->GetAlarmList();
  ASSERT_TRUE(WaitFor([&] { return list->topLevelItemCount() > 0; }));
  EXPECT_EQ(list->topLevelItem(0)->text(1),
            QStringLiteral("Motion Detect:User:admin Device:录像机 IP:127.0.0.1 Chn1 Chn3 "));
  EXPECT_EQ(TreeItemImage(recorderItem->child(0)), 11) << "alarmed and previewing";
  EXPECT_TRUE(WaitFor([] { return OutstandingMsgBuffers() == 0; }));

  // A snapshot of the camera's window: a BMP of the clip's own picture.
  screen->SetActiveIndex(0, 1);
  page->OnCommand(CDlgPreview::ID_SNAPSHOT);
  Settle();
  ASSERT_FALSE(notices.empty());
  // "Snapshot taken: " and where the picture is on this machine.
  const std::u16string ok = LoadResString(8350) + LoadResString(8981);
  ASSERT_EQ(notices.back().substr(0, ok.size()), ok) << plat::utf16ToUtf8(notices.back());
  const std::string shot = plat::utf16ToUtf8(notices.back().substr(ok.size()));
  EXPECT_EQ(fs::path(shot).parent_path(), root / "c" / "Capture");
  QImageReader reader(QString::fromStdString(shot));
  EXPECT_EQ(reader.format(), "bmp");
  QImage picture = reader.read();
  ASSERT_FALSE(picture.isNull()) << reader.errorString().toStdString();
  EXPECT_EQ(picture.width(), clip.width);
  EXPECT_EQ(picture.height(), clip.height);
  picture = picture.convertToFormat(QImage::Format_RGB32);
  std::vector<uint8_t> luma(static_cast<size_t>(picture.width()) * picture.height());
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) luma[y * picture.width() + x] = qGreen(picture.pixel(x, y));
  const int index = clipgen::readFrameIndex(luma.data(), picture.width(), picture.width(), picture.height());
  EXPECT_GE(index, 0);
  EXPECT_LT(index, 50);
  // One onto a disk that fills before the picture is whole: it says it failed, and the
  // folder holds the first picture alone.
  {
    testsupport::FileSizeLimit disk(64 * 1024);
    ASSERT_TRUE(disk.ok());
    page->OnCommand(CDlgPreview::ID_SNAPSHOT);
    Settle();
  }
  const std::u16string failed = LoadResString(8351) + LoadResString(8981);
  EXPECT_EQ(notices.back().substr(0, failed.size()), failed) << plat::utf16ToUtf8(notices.back());
  std::vector<fs::path> captured;
  for (const auto& e : fs::directory_iterator(root / "c" / "Capture")) captured.push_back(e.path());
  EXPECT_EQ(captured, std::vector<fs::path>{fs::path(shot)});

  // Manual recordings of both windows. The recorder's, a file of the listed name, is rolled by
  // the page's timer whenever it is past the pack size; the camera's recorder starts its own
  // next file, so the ring never rolls it.
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  ring->SetFreeSpaceQuery([](const std::u16string&) { return int64_t{1} << 40; });
  ring->SetPackSize(32 * 1024);
  CRecordFileRing::DiskFlags flags{};
  flags[1] = 1;
  ring->SetDisks(flags);
  for (int w : {0, 1}) {
    screen->SetActiveIndex(w, 1);
    page->OnCommand(CDlgPreview::ID_RECORD);
    Settle();
    ASSERT_EQ(notices.back(), LoadResString(8368)) << "window " << w;
  }
  EXPECT_EQ(TreeItemImage(cameraItem->child(0)), 7);
  auto recorderFiles = [&] {
    int n = 0;
    for (const auto& name : ring->ListedFiles(u"d:\\")) n += name.find(u"录像机") != std::u16string::npos;
    return n;
  };
  ASSERT_TRUE(WaitFor(
      [&] {
        page->Controller().OnTimer(CPreviewController::kRecordTimer);
        return recorderFiles() >= 4;
      },
      120000))
      << "the recording never filled its files";
  // The camera's file gets some pictures before the stop.
  ASSERT_TRUE(WaitFor([&] {
    uintmax_t bytes = 0;
    std::error_code ec;
    for (const std::string& path : CRecordFileRing::RecordingFilesOf(ring->GetCurrentFile(u"门口", 1)))
      bytes += fs::file_size(path, ec);
    return bytes > 32 * 1024;
  }));
  for (int w : {0, 1}) {
    screen->SetActiveIndex(w, 1);
    page->OnCommand(CDlgPreview::ID_RECORD);
    Settle();
  }
  EXPECT_EQ(TreeItemImage(cameraItem->child(0)), 5);
  // Every file the recorder's recording rolled away from is a whole saved stream (the last one
  // may have got no packet before the stop).
  int saved = 0, cameraNames = 0;
  const std::u16string last = ring->GetCurrentFile(u"录像机", 1);
  for (const auto& name : ring->ListedFiles(u"d:\\")) {
    if (name.find(u"录像机") != std::u16string::npos) {
      if (name == last) continue;
      const testsupport::RecorderFileShape file = testsupport::ReadRecorderFile(plat::toNativePath(name));
      EXPECT_TRUE(file.streamHeader) << plat::utf16ToUtf8(name);
      EXPECT_GT(file.frames, 0) << plat::utf16ToUtf8(name);
      ++saved;
      continue;
    }
    ++cameraNames;
    for (const std::string& path : CRecordFileRing::RecordingFilesOf(name)) {
      if (testsupport::EmptyRecording(path)) continue;  // closed by the first frame
      EXPECT_EQ(fs::path(path).extension(), ".avi");
      EXPECT_GT(testsupport::PlayableFrames(path), 0) << path;
    }
  }
  EXPECT_GE(saved, 3);
  EXPECT_EQ(cameraNames, 1) << "the ring rolled the camera's recording";
  EXPECT_TRUE(ShowsPictures(w1)) << "the recorder played on meanwhile";

  // The page's end stops both windows.
  page.reset();
  Settle();
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  EXPECT_FALSE(camera->GetChannel(1)->IsPreviewing());
  EXPECT_FALSE(recorder->GetChannel(1)->IsPreviewing());
}

// The disk fills while the recorder's window is recorded: the recording ends, the user is
// told, the channel loses its recording mark and the window plays on.
TEST_F(PreviewLive, ARecorderWindowRecordedOntoAFullDiskTellsTheUserAndPlaysOn) {
  harness::ScopedScriptedUi ui;
  QWidget main;
  std::unique_ptr<CDlgPreview> page = MakePage(main);
  CPlayScreen* screen = page->GetPlayScreen();
  Open(*page, recorderItem->child(0), 0);
  CPlayWnd* w0 = screen->GetWnd(0);
  ASSERT_TRUE(WaitFor([&] { return ShowsPictures(w0); }));

  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  ring->SetFreeSpaceQuery([](const std::u16string&) { return int64_t{1} << 40; });
  CRecordFileRing::DiskFlags flags{};
  flags[1] = 1;
  ring->SetDisks(flags);
  {
    testsupport::FileSizeLimit disk(64 * 1024);
    ASSERT_TRUE(disk.ok());
    page->OnCommand(CDlgPreview::ID_RECORD);
    Settle();
    ASSERT_FALSE(notices.empty());
    ASSERT_EQ(notices.back(), LoadResString(8368));
    ASSERT_TRUE(WaitFor([&] { return !ui->notices.empty(); }, 30000)) << "no notice of the full disk";
  }
  EXPECT_EQ(ui->notices.back(), LoadResString(8993)) << plat::utf16ToUtf8(ui->notices.back());
  EXPECT_FALSE(recorder->GetChannel(1)->IsRecording());
  EXPECT_TRUE(WaitFor([&] { return TreeItemImage(recorderItem->child(0)) == 5; }))
      << "icon " << TreeItemImage(recorderItem->child(0));
  // The file went to the recording disk and holds whole frames (a key frame of this size
  // spans several packets: the cut may fall inside the last one).
  std::vector<fs::path> saved;
  for (const auto& e : fs::recursive_directory_iterator(root / "d"))
    if (e.path().extension() == ".264") saved.push_back(e.path());
  ASSERT_EQ(saved.size(), 1u);
  const testsupport::RecorderFileShape file = testsupport::ReadRecorderFile(saved[0].string());
  EXPECT_LE(file.size, 64u * 1024);
  EXPECT_TRUE(file.streamHeader);
  EXPECT_GT(file.frames, 0);
  plat::PresentedPicture before;
  ASSERT_TRUE(plat::lastPresented(w0->GetSafeHwnd(), &before));
  EXPECT_TRUE(WaitFor([&] {
    plat::PresentedPicture now;
    return plat::lastPresented(w0->GetSafeHwnd(), &now) && now.serial > before.serial;
  })) << "the recorder played on";
}

TEST_F(PreviewLive, ScreenshotsWithFourLiveWindowsAndAlarmRows) {
  for (bool english : {false, true}) {
    harness::ScopedLanguage language(english);
    QWidget main;
    std::unique_ptr<CDlgPreview> page = MakePage(main);
    CPlayScreen* screen = page->GetPlayScreen();
    Open(*page, cameraItem->child(0), 0);
    Open(*page, cameraItem->child(1), 1);
    Open(*page, recorderItem->child(0), 2);
    Open(*page, recorderItem->child(1), 3);
    ASSERT_TRUE(WaitFor([&] {
      for (int w = 0; w < 4; ++w)
        if (!ShowsPictures(screen->GetWnd(w))) return false;
      return true;
    }));
    if (recorder->GetAlarmState() == 0) Arm(*page, recorderItem);
    ASSERT_EQ(recorder->GetAlarmState(), 1);
    for (int step = 0; step < 4; ++step) {
      const int rows = page->GetAlarmList()->topLevelItemCount();
      ASSERT_TRUE(emu.raiseCycledAlarm(step));
      ASSERT_TRUE(WaitFor([&] { return page->GetAlarmList()->topLevelItemCount() > rows; }));
    }
    screen->SetActiveIndex(0, 1);
    harness::Pump();
    // The page, with each video window's last presented picture drawn where the window
    // paints it (the offscreen grab does not render the video widgets' pictures).
    QImage shot = harness::Grab(page.get());
    {
      QPainter p(&shot);
      for (int w = 0; w < 4; ++w) {
        CPlayWnd* wnd = screen->GetWnd(w);
        plat::PresentedPicture pic;
        ASSERT_TRUE(plat::lastPresented(wnd->GetSafeHwnd(), &pic));
        const QImage frame(reinterpret_cast<const uchar*>(pic.pixels.data()), pic.width, pic.height, pic.width * 4,
                           QImage::Format_RGB32);
        p.drawImage(QRect(wnd->mapTo(page.get(), QPoint(0, 0)), wnd->size()), frame);
      }
    }
    harness::SaveScreenshot(shot, english ? QStringLiteral("preview-page-en") : QStringLiteral("preview-page-zh"));
    page.reset();
    Settle();
    EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  }
}

}  // namespace
