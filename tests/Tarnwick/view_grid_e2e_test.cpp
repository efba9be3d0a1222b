// The play grid against the camera emulator over loopback: channels of a stored camera opened
// into play windows through the preview list, each window showing live decoded video whose
// frame numbers are read back from the window's pictures; layouts switched and full screen
// entered and left while every stream keeps running.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>

#include "camemu/camera.h"
#include "camera_clip.h"
#include "camemu/media.h"
#include "clipgen/clipgen.h"
#include "devices/DeviceManager.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "plat/audio.h"
#include "plat/clock.h"
#include "plat/surface.h"
#include "support/TestFolder.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kGuid[] = u"GRID-CAM-1";

struct GridLive : ::testing::Test {
  fs::path home;
  std::unique_ptr<camemu::Camera> cam;
  std::unique_ptr<camemu::Media> media;
  QWidget page;
  CPlayScreen* screen = nullptr;

  void SetUp() override {
    home = testsupport::NewTestFolder();
    setenv("TARNWICK_HOME", home.c_str(), 1);
    plat::setAudioBackend(plat::AudioBackendKind::Null);

    clipgen::Options o;
    o.frames = 50;
    clipgen::Clip clip;
    std::string error;
    ASSERT_TRUE(clipgen::generate(o, &clip, &error)) << error;
    camemu::Config cfg;
    cfg.otherLimit = 64;
    cam = std::make_unique<camemu::Camera>(cfg);
    ASSERT_TRUE(cam->start());
    media = std::make_unique<camemu::Media>(*cam);
    media->setLiveFrames(harness::CameraFrames(clip), true);
    media->setFrameInterval(40);

    CDevInfo info(u"网格", u"127.0.0.1", cam->port(), u"admin", u"admin", 25, u"", u"", u"", u"",
                  0, 0, DEV_TYPE_IPC, kGuid, u"REGION-1");
    ASSERT_TRUE(CDeviceManager::GetInstance()->Add(new CDevice(info)));

    page.resize(640, 480);
    screen = new CPlayScreen(0, &page);
    screen->setGeometry(0, 0, 640, 480);
    page.show();
    CPreviewManager::GetInstance()->SetPlayScreen(screen);
  }

  void TearDown() override {
    harness::ResetServices();  // stops every listed preview
    media.reset();
    cam.reset();
    unsetenv("TARNWICK_HOME");
    fs::remove_all(home);
  }

  // Opens channel window+1 of the camera in each window, as the preview page does.
  void Open(int windows) {
    CPreviewManager* m = CPreviewManager::GetInstance();
    for (int i = 0; i < windows; ++i) {
      auto item = std::make_shared<CPreviewItem>(i, screen->GetWnd(i)->GetSafeHwnd(), nullptr, i + 1,
                                                 0, kGuid);
      ASSERT_TRUE(item->Start()) << "window " << i;
      ASSERT_TRUE(m->Add(item));
    }
  }

  static uint64_t Serial(CPlayWnd* w) {
    plat::PresentedPicture pic;
    return plat::lastPresented(w->GetSafeHwnd(), &pic) ? pic.serial : 0;
  }

  // The frame number carried by the window's last picture; -1 when it has none.
  static int FrameNumber(CPlayWnd* w) { return harness::WindowFrameNumber(w->GetSafeHwnd()); }

  // Runs the UI until `done` holds (bounded generously: the machine may be busy).
  static bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 60000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
      if (done()) return true;
      plat::sleepMs(20);
    }
    return done();
  }

  // Every window of [0, n) presents at least `more` new pictures after `since`, each a frame
  // of the clip.
  bool AllAdvance(int n, const std::vector<uint64_t>& since, uint64_t more = 3) {
    return WaitFor([&] {
      for (int i = 0; i < n; ++i) {
        CPlayWnd* w = screen->GetWnd(i);
        if (Serial(w) < since[i] + more) return false;
        const int f = FrameNumber(w);
        if (f < 0 || f >= 50) return false;
      }
      return true;
    });
  }

  std::vector<uint64_t> Serials(int n) {
    std::vector<uint64_t> s;
    for (int i = 0; i < n; ++i) s.push_back(Serial(screen->GetWnd(i)));
    return s;
  }

  // The grid as painted, taken through its top-level window.
  QImage GrabScreen() {
    if (screen->isWindow()) return harness::Grab(screen);
    return page.grab(screen->geometry()).toImage();
  }

  // Each window of [from, to) is painted with a picture: many colours, not a flat fill.
  bool PaintedWithVideo(int from, int to) {
    const QImage img = GrabScreen();
    for (int i = from; i < to; ++i) {
      const QRect r = screen->GetWnd(i)->geometry();
      std::set<QRgb> colours;
      for (int y = r.top(); y <= r.bottom(); y += 3)
        for (int x = r.left(); x <= r.right(); x += 3) colours.insert(img.pixel(x, y));
      if (colours.size() < 50) return false;
    }
    return true;
  }
};

TEST_F(GridLive, SixteenWindowsPlayInFourByFourAndKeepPlayingThroughLayoutsAndFullScreen) {
  screen->SetMode(3, 0);
  Open(16);
  ASSERT_TRUE(AllAdvance(16, std::vector<uint64_t>(16, 0))) << "not every window shows live video";
  EXPECT_TRUE(PaintedWithVideo(0, 16));
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 16);

  // One window: the other fifteen are hidden but their streams go on.
  screen->SetMode(0, 0);
  EXPECT_FALSE(screen->GetWnd(5)->isVisible());
  ASSERT_TRUE(AllAdvance(16, Serials(16))) << "a hidden window stopped playing";
  screen->SetMode(3, 0);
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(screen->GetWnd(i)->isVisible()) << i;
  ASSERT_TRUE(AllAdvance(16, Serials(16)));
  EXPECT_TRUE(WaitFor([&] { return PaintedWithVideo(0, 16); }));

  // Full screen and back: same handles, same items, video still arriving.
  std::vector<plat::WindowHandle> handles;
  for (int i = 0; i < 16; ++i) handles.push_back(screen->GetWnd(i)->GetSafeHwnd());
  screen->SetFullScreen(1);
  EXPECT_TRUE(screen->isWindow());
  ASSERT_TRUE(AllAdvance(16, Serials(16)));
  EXPECT_TRUE(WaitFor([&] { return PaintedWithVideo(0, 16); }));
  screen->SetFullScreen(0);
  EXPECT_EQ(screen->parentWidget(), &page);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(screen->GetWnd(i)->GetSafeHwnd(), handles[i]);
    auto item = CPreviewManager::GetInstance()->FindByWindow(i);
    ASSERT_NE(item, nullptr) << i;
    EXPECT_EQ(item->GetPlayWnd(), handles[i]);
  }
  ASSERT_TRUE(AllAdvance(16, Serials(16)));

  // Stopping from the window's menu leaves the background; the others play on.
  screen->GetWnd(3)->OnCommand(CPlayWnd::ID_STOP_PREVIEW);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 15);
  EXPECT_TRUE(WaitFor([&] {
    const QImage img = GrabScreen();
    return img.pixelColor(screen->GetWnd(3)->geometry().center()) == FromColorRef(CPlayWnd::kBackground);
  }));
  std::vector<uint64_t> before = Serials(16);
  before.erase(before.begin() + 3);
  EXPECT_TRUE(WaitFor([&] {
    for (int i = 0, k = 0; i < 16; ++i) {
      if (i == 3) continue;
      if (Serial(screen->GetWnd(i)) < before[k++] + 3) return false;
    }
    return true;
  }));

  // The windows go away while fifteen streams still present into them: those pictures are
  // dropped, and stopping afterwards posts to handles that no longer exist.
  CPreviewManager::GetInstance()->SetPlayScreen(nullptr);
  delete screen;
  screen = nullptr;
  for (plat::WindowHandle h : handles) EXPECT_FALSE(plat::isWindow(h));
  const QElapsedTimer started = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  while (started.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_TRUE(CPreviewManager::GetInstance()->RemoveAll());
  for (plat::WindowHandle h : handles) {
    plat::PresentedPicture pic;
    EXPECT_FALSE(plat::lastPresented(h, &pic));
  }
}

TEST_F(GridLive, Screenshots) {
  Open(25);
  const struct {
    int mode;
    const char* name;
  } shots[] = {{0, "grid-1"}, {1, "grid-4"}, {2, "grid-9"}, {3, "grid-16"}, {4, "grid-25"}};
  for (const auto& s : shots) {
    const int n = screen->SetMode(s.mode, 0);
    ASSERT_TRUE(AllAdvance(n, Serials(n))) << s.name;
    ASSERT_TRUE(WaitFor([&] { return PaintedWithVideo(0, n); })) << s.name << ": a window shows no picture";
    const QString dir = qEnvironmentVariable("TARNWICK_SCREENSHOTS");
    if (!dir.isEmpty()) GrabScreen().save(QDir(dir).filePath(QString::fromLatin1(s.name) + ".png"));
  }
}

}  // namespace
