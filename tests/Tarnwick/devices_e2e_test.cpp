// One device row through the whole road: stored in Tarnwick.db, read back by the device list,
// its channel's preview made by the real device layer, logged in to the camera emulator over
// loopback, and decoded video presented into a headless play window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "camemu/camera.h"
#include "camera_clip.h"
#include "camemu/media.h"
#include "clipgen/clipgen.h"
#include "devices/DeviceManager.h"
#include "harness/DeviceWorkWait.h"
#include "harness/Services.h"
#include "plat/audio.h"
#include "plat/clock.h"
#include "plat/surface.h"
#include "plat/window.h"
#include "support/TestFolder.h"
#include "support/Wait.h"
#include "support/ShownFrame.h"

namespace fs = std::filesystem;

namespace {

struct EndToEnd : ::testing::Test {
  fs::path home;
  void SetUp() override {
    home = testsupport::NewTestFolder();
    setenv("TARNWICK_HOME", home.c_str(), 1);
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    plat::setTimeScale(0.2);
  }
  void TearDown() override {
    harness::ResetServices();
    plat::setTimeScale(1.0);
    unsetenv("TARNWICK_HOME");
    fs::remove_all(home);
  }
};

TEST_F(EndToEnd, AStoredCameraPlaysDecodedVideoInAPlayWindow) {
  clipgen::Options o;
  o.frames = 25;
  clipgen::Clip clip;
  std::string error;
  ASSERT_TRUE(clipgen::generate(o, &clip, &error)) << error;
  camemu::Camera cam;
  ASSERT_TRUE(cam.start());
  camemu::Media media(cam);
  media.setLiveFrames(harness::CameraFrames(clip), true);

  // The row as the device manager page would have saved it.
  {
    CDevInfo info(u"前门", u"127.0.0.1", cam.port(), u"admin", u"admin", 1, u"", u"", u"", u"",
                  0, 0, DEV_TYPE_IPC, u"DEV-GUID-1", u"REGION-1");
    ASSERT_TRUE(CDeviceManager::GetInstance()->Add(new CDevice(info)));
    ASSERT_TRUE(CDeviceManager::GetInstance()->Save());
    harness::ResetServices();
  }
  CDeviceManager* list = CDeviceManager::GetInstance();
  ASSERT_TRUE(list->Load());
  ASSERT_EQ(list->Count(), 1);
  CDevice* device = list->FindDevice(u"DEV-GUID-1", 1);
  ASSERT_NE(device, nullptr);
  EXPECT_FALSE(device->IsLoggedIn());  // loading never logs in

  auto dispatcher = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle window =
      plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; }, dispatcher);
  IDevPreview* preview = list->GetChannelPreviewByGuid(u"DEV-GUID-1", 1);
  ASSERT_NE(preview, nullptr);
  EXPECT_TRUE(device->IsLoggedIn());
  ASSERT_TRUE(preview->SetPlayWnd(window));
  ASSERT_TRUE(preview->SetStreamType(0));
  ASSERT_TRUE(preview->StartPreview());

  uint64_t serial = 0;
  const bool shown = testsupport::Eventually([&] {
    dispatcher->pump(0);
    testsupport::ShownFrameNumber(window, &serial);
    return serial >= 3;
  });
  EXPECT_TRUE(shown) << "no decoded picture reached the play window";
  // The picture is the clip's: its frame number can be read back from the top edge.
  if (shown) {
    int index = testsupport::ShownFrameNumber(window);
    EXPECT_GE(index, 0);
    EXPECT_LT(index, 25);
  }
  EXPECT_TRUE(device->GetChannel(1)->IsPreviewing());
  EXPECT_EQ(device->IsBusy(), 1);
  device->ReleaseAll();  // stops and deletes the preview; the login stays
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(device->GetChannel(1)->GetPreview(0), nullptr);
  EXPECT_TRUE(device->IsLoggedIn());
  plat::unregisterWindow(window);
}

}  // namespace
