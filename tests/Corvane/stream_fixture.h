#pragma once
// Shared by the live stream and remote file tests: the camera emulator with its media side,
// generated clips as frame lists, and a stream hook that records every frame it gets.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "Corvane.h"
#include "camemu/media.h"
#include "clipgen/clipgen.h"
#include "plat/audio.h"
#include "plat/window.h"
#include "session_fixture.h"

namespace cvtest {

// The generated clip as the emulator's frame list (made once per codec).
const clipgen::Clip& testClip(clipgen::Codec codec);
std::vector<camemu::MediaFrame> framesOf(const clipgen::Clip& clip);

// Counts the threads of the process, all or those of one name.
int threadCount();
int threadsNamed(const std::string& name);

struct HookFrame {
  std::vector<uint8_t> data;
  int codec;
  uint32_t seconds, microseconds, stamp;
};

class FrameLog {
 public:
  static void hook(const uint8_t* data, int length, int codec, uint32_t seconds,
                   uint32_t microseconds, uint32_t stamp, void* user);
  std::vector<HookFrame> frames() const;
  size_t size() const;
  // When the hook saw the last frame.
  std::chrono::steady_clock::time_point lastAt() const;

 private:
  mutable std::mutex m_;
  std::vector<HookFrame> frames_;
  std::chrono::steady_clock::time_point lastAt_;
};

// A window registered with the window layer (a test owns its thread).
struct HeadlessWindow {
  std::shared_ptr<plat::QueueDispatcher> dispatcher = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle handle = plat::registerWindow(
      [](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; }, dispatcher);
  ~HeadlessWindow() { plat::unregisterWindow(handle); }
  // The frame number the last presented picture shows; -1 when none.
  int presentedIndex() const;
};

class MediaTest : public CameraTest {
 protected:
  void SetUp() override {
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    CameraTest::SetUp();
    media.setLiveFrames(framesOf(testClip(clipgen::Codec::H264)));
  }
  // Opens a session with the hook set and keeps it for the test.
  IPC_HANDLE openSession() {
    IpcLoginInfo li = login(true);
    guard.h = IPC_SessionOpen(&li);
    EXPECT_NE(guard.h, nullptr);
    IPC_SetSessionHook(guard.h, HookLog::hook, &events);
    return guard.h;
  }

  camemu::Media media{cam};
  HookLog events;
  SessionGuard guard;
};

}  // namespace cvtest
