#pragma once
// Recordings for the local-player tests, made by the camera library's own AVI recorder from
// generated clips (every picture carries its frame number), and a headless play window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "clipgen/clipgen.h"
#include "plat/audio.h"
#include "plat/clock.h"
#include "plat/surface.h"
#include "plat/window.h"
#include "record/avi_recorder.h"
#include "support/TestFolder.h"
#include "support/Wait.h"

namespace localplay_test {

struct TempDir {
  testsupport::TestFolder folder;
  const std::string& path = folder.path();
  std::string file(const std::string& n) const { return folder.file(n); }
};

// Records `frames` pictures at 25 per second with 40 ms of 16-bit PCM after each.
inline std::string Record(const TempDir& dir, const std::string& name, int frames,
                          clipgen::Codec codec = clipgen::Codec::H264, bool sound = true) {
  clipgen::Options o;
  o.codec = codec;
  o.width = 320;
  o.height = 240;
  o.frames = frames;
  o.gop = 10;
  clipgen::Clip clip;
  std::string err;
  if (!clipgen::generate(o, &clip, &err)) {
    ADD_FAILURE() << err;
    return {};
  }
  corvane::AviRecorder rec;
  // The recorder takes its frame rate from the time spent: 40 ms a picture.
  auto tick = std::make_shared<uint32_t>(0);
  corvane::RecordClock clock;
  clock.tickMs = [tick] { return *tick; };
  clock.unixTime = [] { return 1700000000u; };
  rec.SetClock(clock);
  if (rec.StartRecord(dir.file(name)) != 1) {
    ADD_FAILURE() << "recorder refused " << name;
    return {};
  }
  const int type = codec == clipgen::Codec::H264 ? corvane::kCodecH264 : corvane::kCodecMpeg4;
  std::vector<uint8_t> pcm(640);
  for (size_t i = 0; i < pcm.size(); i += 2) pcm[i + 1] = static_cast<uint8_t>(i);
  for (size_t i = 0; i < clip.frames.size(); ++i) {
    auto f = clip.frameBytes(i);
    rec.WriteRecordFrame(f.data(), static_cast<uint32_t>(f.size()), type,
                         clip.frames[i].key ? 0 : 1, o.width, o.height);
    *tick += 40;
    if (sound) rec.WriteRecordFrame(pcm.data(), static_cast<uint32_t>(pcm.size()), 6, 1, 0, 0);
  }
  std::string file = rec.FileName();
  rec.StopRecord();
  return file;
}

struct Window {
  std::shared_ptr<plat::QueueDispatcher> dispatcher = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle handle;
  Window() {
    handle = plat::registerWindow([](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; },
                                  dispatcher);
    plat::setWindowClientSize(handle, 320, 240);
  }
  ~Window() { plat::unregisterWindow(handle); }

  // The frame number the last presented picture carries (-1: none or unreadable).
  int FrameShown() const {
    plat::PresentedPicture p;
    if (!plat::lastPresented(handle, &p) || p.width <= 0) return -1;
    std::vector<uint8_t> luma(p.pixels.size());
    for (size_t i = 0; i < luma.size(); ++i) luma[i] = static_cast<uint8_t>(p.pixels[i] >> 8);
    return clipgen::readFrameIndex(luma.data(), p.width, p.width, p.height);
  }
  uint64_t Serial() const {
    plat::PresentedPicture p;
    return plat::lastPresented(handle, &p) ? p.serial : 0;
  }
};

// Test-wide settings: product waits in milliseconds and the silent sound device.
struct QuickClock : ::testing::Test {
  void SetUp() override {
    plat::setTimeScale(0.01);
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    av_log_set_level(AV_LOG_ERROR);  // the clip encoder's statistics are noise here
  }
  void TearDown() override { plat::setTimeScale(1.0); }
};

// Waits (bounded in real time) until cond holds; never a timing assertion.
template <class F>
bool Eventually(F cond) {
  return testsupport::Eventually(cond);
}

}  // namespace localplay_test
