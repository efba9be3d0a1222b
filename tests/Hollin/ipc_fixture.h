#pragma once
// Cameras and recorders of the device layer against the camera emulator on 127.0.0.1, with
// the product time-outs shrunk by the clock's scale.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "Corvane.h"
#include "Hollin.h"
#include "camemu/camera.h"
#include "camemu/media.h"
#include "plat/audio.h"
#include "plat/clock.h"
#include "plat/window.h"

namespace hotest {

// A play window whose messages a test pumps by hand.
struct PlayWindow {
  std::shared_ptr<plat::QueueDispatcher> dispatcher = std::make_shared<plat::QueueDispatcher>();
  int fullMessages = 0;
  int stopped = 0;
  int recordFailures = 0;
  plat::WindowHandle handle = plat::registerWindow(
      [this](uint32_t msg, uintptr_t w, intptr_t l) -> intptr_t {
        if (msg == WM_DEV_RECORD_FAILED) recordFailures += DevPreviewOnRecordFailed(w, l);
        if (msg != WM_DEV_PREVIEW_FULL) return 0;
        ++fullMessages;
        stopped += DevPreviewOnFull(w, l);
        return 0;
      },
      dispatcher);
  ~PlayWindow() { plat::unregisterWindow(handle); }
  // Runs the window's messages until `done` holds; bounded in real time, whatever the
  // product time scale, so a busy machine only makes it slower.
  bool pumpUntil(const std::function<bool()>& done, int realMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      dispatcher->pump(10);
    }
    return true;
  }
};

// One emulated device and the description the program would keep for it.
struct Device {
  explicit Device(int type, camemu::Config cfg = {}) : cam(cfg) {
    EXPECT_TRUE(cam.start());
    info.DevType = type;
    info.IP.SetNarrow("127.0.0.1");
    info.Port = cam.port();
    info.UserName.SetNarrow("admin");
    info.Pwd.SetNarrow("admin");
  }
  IDevUserLogin* makeLogin() { return CDevUserLoginFactory::CreateDevUserLogin(&info); }
  camemu::Camera cam;
  camemu::Media media{cam};
  CDevInfo info;
};

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    plat::setTimeScale(0.5);  // 5 s replies in 2.5 s: room for a busy machine
  }
  void TearDown() override { plat::setTimeScale(1.0); }
};

// Deletes through the factories, in the order the program does.
struct LoginGuard {
  IDevUserLogin* login = nullptr;
  ~LoginGuard() { CDevUserLoginFactory::DeleteDevUserLogin(login); }
};
struct PreviewGuard {
  IDevPreview* preview = nullptr;
  IDevUserLogin* login = nullptr;
  ~PreviewGuard() { CDevPreviewFactory::DeleteDevPreview(preview, login); }
};

}  // namespace hotest
