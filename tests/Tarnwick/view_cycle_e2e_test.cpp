// Cycle preview and the video parameter panel against camera emulators over loopback: a group
// of four cameras cycling through one play window, each camera's own frames seen in turn; the
// panel reading and writing the camera's picture parameters, a request per move, and the moves
// made while the camera holds one going in one request behind it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "camera_clip.h"
#include "Corvane/records.h"
#include "camemu/camera.h"
#include "camemu/media.h"
#include "clipgen/clipgen.h"
#include "controls/SliderControlEx.h"
#include "controls/WindowMessages.h"
#include "devices/DeviceManager.h"
#include "harness/DeviceWorkWait.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "plat/audio.h"
#include "plat/clock.h"
#include "plat/surface.h"
#include "shell/User.h"
#include "support/TestFolder.h"
#include "view/CyclePreview.h"
#include "view/DlgVideoParam.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"

namespace {

constexpr int kFramesPerCamera = 10;
constexpr uint16_t kGetPicture = 0x0407, kSetPicture = 0x0405;

bool RunUntil(const std::function<bool()>& done, int realMs = 60000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < realMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    plat::sleepMs(5);
  }
  return done();
}

struct CameraLive : ::testing::Test {
  testsupport::TestFolder home;
  clipgen::Clip clip;
  std::vector<std::unique_ptr<camemu::Camera>> cams;
  std::vector<std::unique_ptr<camemu::Media>> media;
  QWidget page;
  CPlayScreen* screen = nullptr;
  double scale = 1.0;

  void SetUp() override {
    setenv("TARNWICK_HOME", home.path().c_str(), 1);
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    scale = plat::timeScale();
    clipgen::Options o;
    o.frames = 4 * kFramesPerCamera;
    o.gop = kFramesPerCamera;
    std::string error;
    ASSERT_TRUE(clipgen::generate(o, &clip, &error)) << error;
    page.resize(640, 480);
    screen = new CPlayScreen(0, &page);
    screen->setGeometry(0, 0, 400, 320);
    page.show();
    CPreviewManager::GetInstance()->SetPlayScreen(screen);
  }

  void TearDown() override {
    harness::ResetServices();
    media.clear();
    cams.clear();
    plat::setTimeScale(scale);
    unsetenv("TARNWICK_HOME");
  }

  // Camera k streams frames [10k, 10k+10) of the clip in a loop, so a picture tells whose it is.
  CDevice* AddCamera(int k) {
    camemu::Config cfg;
    cfg.otherLimit = 16;
    cams.push_back(std::make_unique<camemu::Camera>(cfg));
    EXPECT_TRUE(cams.back()->start());
    media.push_back(std::make_unique<camemu::Media>(*cams.back()));
    media.back()->setLiveFrames(
        harness::CameraFrames(clip, k * kFramesPerCamera, (k + 1) * kFramesPerCamera), true);
    media.back()->setFrameInterval(40);
    const std::u16string guid = u"E2E-" + std::u16string(1, u'0' + k);
    CDevInfo info(guid, u"127.0.0.1", cams.back()->port(), u"admin", u"admin", 1, u"", u"", u"", u"", 0, 0,
                  DEV_TYPE_IPC, guid, u"R");
    // Every emulator listens on the same loopback address, which the list allows only once:
    // each is added under a host of its own and then pointed at the emulator.
    info.SetIP(u"192.0.2." + std::u16string(1, u'1' + k));
    auto* device = new CDevice(info);
    EXPECT_TRUE(CDeviceManager::GetInstance()->Add(device));
    device->GetDevInfo().SetIP(u"127.0.0.1");
    return device;
  }

  static int FrameNumber(CPlayWnd* w) { return harness::WindowFrameNumber(w->GetSafeHwnd()); }
};

TEST_F(CameraLive, AGroupOfFourCamerasCyclesThroughOneWindowEachSeenInTurn) {
  plat::setTimeScale(0.5);
  std::vector<CDevice*> devices;
  for (int k = 0; k < 4; ++k) devices.push_back(AddCamera(k));
  CCyclePreviewManager* cycles = CCyclePreviewManager::GetInstance();
  cycles->SetPlayScreen(screen);
  // The test is the clock: the next switch comes once the shown camera's pictures were seen, so
  // a camera slow to answer on a busy machine is not switched away before its first picture.
  cycles->SetTickPeriod(0);
  screen->SetActiveIndex(2, 1);
  for (CDevice* d : devices) ASSERT_EQ(cycles->AddChannelToCycle(u"Four", 2, 1, d, 1), 1);
  ASSERT_TRUE(cycles->ResumeByWindow(2));
  EXPECT_EQ(cycles->GetRunCount(), 1);

  // Whose pictures the window shows after each switch; a full round and the start of the next.
  // The resume shows the first camera; each injected tick then switches to the next.
  std::vector<int> order;
  bool oneAtATime = true;
  for (int turn = 0; turn < 5; ++turn) {
    if (turn > 0) {
      CCyclePreviewNode* node = cycles->FindByWindow(2);
      ASSERT_NE(node, nullptr);
      ASSERT_TRUE(node->InjectTick());
    }
    int camera = -1;
    ASSERT_TRUE(RunUntil([&] {
      oneAtATime = oneAtATime && CPreviewManager::GetInstance()->GetCount() <= 1;
      const int f = FrameNumber(screen->GetWnd(2));
      if (f >= 0 && f < 4 * kFramesPerCamera && (order.empty() || order.back() != f / kFramesPerCamera))
        camera = f / kFramesPerCamera;
      return camera >= 0;
    })) << "turn " << turn << ", channels seen: " << order.size();
    order.push_back(camera);
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 0}));
  EXPECT_TRUE(oneAtATime) << "a channel's item outlived its turn";
  for (int w = 0; w < 25; ++w) {
    if (w == 2) continue;
    EXPECT_LT(FrameNumber(screen->GetWnd(w)), 0) << "window " << w << " showed video";
  }

  // The cycle's end leaves the last camera playing; closing the window ends its stream.
  ASSERT_TRUE(cycles->StopByWindow(2));
  EXPECT_EQ(cycles->GetRunCount(), 0);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 1);
  const int shownFrame = FrameNumber(screen->GetWnd(2));
  ASSERT_TRUE(RunUntil([&] { return FrameNumber(screen->GetWnd(2)) != shownFrame; })) << "the picture froze";
  screen->GetWnd(2)->OnCommand(CPlayWnd::ID_STOP_PREVIEW);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  for (auto& cam : cams) EXPECT_TRUE(cam->waitUntil([&] { return cam->connections(0x0002) == 0; }));
}

TEST_F(CameraLive, VideoParametersAreReadAndWrittenAtTheCameraARequestForEachMove) {
  CDevice* device = AddCamera(0);
  camemu::Camera& cam = *cams[0];
  IpcPictureParam stored;
  stored.brightness = 128;
  stored.contrast = 255;
  stored.saturation = 0;
  std::vector<uint8_t> rec(kIpcPictureParamSize);
  stored.write(rec.data());
  cam.setRecord(kGetPicture, rec);

  CUser::GetInstance()->SetName(u"operator");
  CUser::GetInstance()->SetPower(2);
  CDlgVideoParam panel;
  ASSERT_TRUE(panel.Create(&page));
  panel.move(420, 0);
  panel.show();
  auto slider = [&](int i) {
    return page.findChild<CSliderControlEx*>(QString::number(CVideoParamController::kFirstSliderId + i));
  };

  // Without a preview: the defaults.
  panel.BindPreview(u"", 0);
  EXPECT_EQ(slider(CVideoParamController::kBrightness)->value(), 5);
  EXPECT_EQ(slider(CVideoParamController::kVolume)->value(), 0x4000);

  auto item = std::make_shared<CPreviewItem>(0, screen->GetWnd(0)->GetSafeHwnd(), nullptr, 1, 0, device->GetGuid());
  ASSERT_TRUE(item->Start());
  ASSERT_TRUE(CPreviewManager::GetInstance()->Add(item));
  screen->SetActiveIndex(0, 1);
  IDevPreview* preview = device->GetChannel(1)->GetPreview(0);
  ASSERT_NE(preview, nullptr);
  ASSERT_TRUE(RunUntil([&] { return FrameNumber(screen->GetWnd(0)) >= 0; }));
  ASSERT_TRUE(preview->SetVolume(0x1234));

  // Binding reads the camera on the camera's queue: the panel is greyed until the values
  // come, then shows them on the sliders' 1 to 10, with the hue, and the volume at 0x4000
  // whatever the stream plays at.
  panel.BindPreview(device->GetGuid(), 1);
  EXPECT_FALSE(slider(CVideoParamController::kBrightness)->isEnabled()) << "not greyed while reading";
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_TRUE(slider(CVideoParamController::kBrightness)->isEnabled());
  EXPECT_TRUE(slider(CVideoParamController::kHue)->isEnabled());
  for (int i = 0; i < CVideoParamController::kVolume; ++i) {
    EXPECT_EQ(slider(i)->minimum(), 1) << i;
    EXPECT_EQ(slider(i)->maximum(), 10) << i;
  }
  EXPECT_EQ(slider(CVideoParamController::kBrightness)->value(), 5);
  EXPECT_EQ(slider(CVideoParamController::kContrast)->value(), 10);
  EXPECT_EQ(slider(CVideoParamController::kSaturation)->value(), 1) << "the camera's 0 shown at the slider's end";
  EXPECT_EQ(slider(CVideoParamController::kVolume)->value(), 0x4000);
  harness::SaveScreenshot(&panel, QStringLiteral("video_param_panel"));

  // Each move of a drag sends one request, with all five values, as soon as it is made.
  CSliderControlEx* b = slider(CVideoParamController::kBrightness);
  size_t before = cam.received(kSetPicture);
  b->setSliderDown(true);
  for (int v : {3, 6, 8}) {
    b->setSliderPosition(v);
    ASSERT_TRUE(harness::SettleDeviceWork());
    EXPECT_EQ(IpcPictureParam::read(cam.record(kGetPicture).data()).brightness, static_cast<uint32_t>(v * 255 / 10))
        << "move to " << v;
  }
  b->setSliderDown(false);  // the release sends the last values once more
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(cam.received(kSetPicture) - before, 4u);
  IpcPictureParam now = IpcPictureParam::read(cam.record(kGetPicture).data());
  EXPECT_EQ(now.contrast, 255u) << "values not moved go back as they were";
  EXPECT_EQ(now.saturation, 0u) << "a value the slider cannot show goes back as reported";

  // A drag while the camera holds a request: the moves meanwhile go in one request behind
  // it, with the last values, not in a backlog the camera would work through after the hand
  // stopped.
  std::mutex held;
  std::condition_variable heldCv;
  bool holding = true, reached = false;
  cam.onRecordStored([&](uint16_t, const std::vector<uint8_t>&) {
    std::unique_lock<std::mutex> lock(held);
    reached = true;
    heldCv.notify_all();
    heldCv.wait_for(lock, std::chrono::seconds(3), [&] { return !holding; });
  });
  before = cam.received(kSetPicture);
  b->setSliderDown(true);
  b->setSliderPosition(2);
  {
    std::unique_lock<std::mutex> lock(held);
    ASSERT_TRUE(heldCv.wait_for(lock, std::chrono::seconds(20), [&] { return reached; }));
  }
  for (int i = 0; i < 100; ++i) b->setSliderPosition(1 + i % 10);
  b->setSliderPosition(7);
  b->setSliderDown(false);
  {
    std::lock_guard<std::mutex> lock(held);
    holding = false;
  }
  heldCv.notify_all();
  ASSERT_TRUE(harness::SettleDeviceWork());
  cam.onRecordStored(nullptr);
  ASSERT_TRUE(cam.waitUntil([&] { return IpcPictureParam::read(cam.record(kGetPicture).data()).brightness == 178; }));
  EXPECT_EQ(cam.received(kSetPicture) - before, 2u) << "the held request and one behind it";

  // Without the right nothing is written; the notice tells why.
  CUser::GetInstance()->SetPower(0);
  const size_t refused = cam.received(kSetPicture);
  slider(CVideoParamController::kContrast)->setValue(3);
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(cam.received(kSetPicture), refused);
  EXPECT_EQ(slider(CVideoParamController::kContrast)->value(), 3);

  // Restore defaults from the button: every value 5 at the camera.
  CUser::GetInstance()->SetPower(2);
  plat::sendMessage(panel.GetSafeHwnd(), WM_IMAGEBUTTON_DOWN, CVideoParamController::kRestoreId, 0);
  ASSERT_TRUE(cam.waitUntil([&] { return IpcPictureParam::read(cam.record(kGetPicture).data()).contrast == 127; }));
  now = IpcPictureParam::read(cam.record(kGetPicture).data());
  EXPECT_EQ(now.brightness, 127u);
  EXPECT_EQ(now.saturation, 127u);
  EXPECT_EQ(slider(CVideoParamController::kVolume)->value(), 0x4000);

  // The active window changed to one without video: a move binds it and writes nothing.
  screen->SetActiveIndex(1, 1);
  const size_t other = cam.received(kSetPicture);
  slider(CVideoParamController::kBrightness)->setValue(9);
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(cam.received(kSetPicture), other);
  EXPECT_EQ(slider(CVideoParamController::kBrightness)->value(), 5);
  EXPECT_FALSE(panel.Controller().Bound().valid());

  // Bound anew while a read is on its way: the first read's values (contrast 10) are dropped.
  cam.setRecord(kGetPicture, rec);
  panel.BindPreview(device->GetGuid(), 1);
  panel.BindPreview(u"", 0);
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(slider(CVideoParamController::kContrast)->value(), 5) << "a dropped read was shown";
  EXPECT_TRUE(slider(CVideoParamController::kContrast)->isEnabled());
}

}  // namespace
