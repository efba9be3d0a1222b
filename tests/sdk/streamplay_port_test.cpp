// Ports, file and stream play into headless windows, stepping, position, capture and talk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "StreamPlay.h"
#include "streamplay_fixture.h"
#include "clipgen/clipgen.h"
#include "plat/audio.h"
#include "plat/clock.h"
#include "plat/paint.h"
#include "plat/surface.h"
#include "plat/window.h"
#include "support/Wait.h"

namespace {

class StreamPlayPort : public streamplay_test::PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    wnd = plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return 0; },
                               std::make_shared<plat::QueueDispatcher>());
    plat::setWindowClientSize(wnd, 320, 240);
  }
  void TearDown() override {
    if (port > 0) SPlay_FreePort(port);
    plat::unregisterWindow(wnd);
  }
  static std::string writeFile(const char* name, bool mpeg4, int frames) {
    return WriteStreamFile(name, mpeg4, 320, 240, frames, true);
  }
  uint64_t serial() {
    plat::PresentedPicture p;
    return plat::lastPresented(wnd, &p) ? p.serial : 0;
  }
  // Waits (bounded) for a picture newer than `after` and returns its frame number.
  int nextIndex(uint64_t after) {
    plat::PresentedPicture p;
    testsupport::Eventually([&] { return plat::lastPresented(wnd, &p) && p.serial > after; });
    if (p.serial <= after) return -2;
    return clipgen::readFrameIndexBgrx(reinterpret_cast<const uint8_t*>(p.pixels.data()), p.width * 4, p.width,
                                       p.height, p.pictureWidth, p.pictureHeight);
  }
  plat::WindowHandle wnd = 0;
  int32_t port = -1;
};

}  // namespace

TEST_F(StreamPlayPort, PortsCountFromOneAndRunOut) {
  std::vector<int32_t> ports;
  int32_t p = 0;
  while (SPlay_GetPort2(&p)) ports.push_back(p);
  EXPECT_EQ(p, -1);
  ASSERT_EQ(ports.size(), static_cast<size_t>(SPLAY_MAX_PORT));
  EXPECT_EQ(*std::min_element(ports.begin(), ports.end()), 1);
  EXPECT_EQ(SPlay_FreePort(ports[5]), 1);
  EXPECT_EQ(SPlay_FreePort(ports[5]), 0);
  ASSERT_EQ(SPlay_GetPort2(&p), 1);
  EXPECT_EQ(p, ports[5]);
  for (int32_t q : ports) SPlay_FreePort(q);
  EXPECT_EQ(SPlay_Play(0, 0), 0);
  EXPECT_EQ(SPlay_InputData(9999, nullptr, 0), 0);
}

TEST_F(StreamPlayPort, StreamInputNeedsAnOpenStreamAndRespectsItsBuffer) {
  ASSERT_EQ(SPlay_GetPort2(&port), 1);
  uint8_t data[100] = {};
  EXPECT_EQ(SPlay_InputData(port, data, 100), 0);
  EXPECT_EQ(SPlay_SetStreamOpenMode(port, 7), 0);
  ASSERT_EQ(SPlay_OpenStream(port, nullptr, 0, 150), 1);
  EXPECT_EQ(SPlay_OpenStream(port, nullptr, 0, 150), 0);
  EXPECT_EQ(SPlay_InputData(port, data, 100), 1);
  EXPECT_EQ(SPlay_InputData(port, data, 100), 0);  // full: nothing is taken
  EXPECT_EQ(SPlay_CloseStream(port), 1);
  EXPECT_EQ(SPlay_InputData(port, data, 10), 0);
}

TEST_F(StreamPlayPort, LiveMpeg4StreamIsDecodedIntoTheWindow) {
  const std::string path = writeFile("pc_live.rec", true, 8);
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  ASSERT_EQ(SPlay_GetPort2(&port), 1);
  ASSERT_EQ(SPlay_SetStreamOpenMode(port, SPLAY_STREAME_REALTIME), 1);
  ASSERT_EQ(SPlay_OpenStream(port, nullptr, 0, 1 << 20), 1);
  ASSERT_EQ(SPlay_Play(port, wnd), 1);
  // In pieces that cut through headers, as packets do.
  for (size_t at = 0; at < bytes.size(); at += 333)
    ASSERT_EQ(SPlay_InputData(port, bytes.data() + at, static_cast<uint32_t>(std::min<size_t>(333, bytes.size() - at))), 1);
  const int index = nextIndex(0);
  EXPECT_GE(index, 0);
  std::vector<uint8_t> buf(720 * 576 * 3);
  uint32_t w = 0, h = 0;
  ASSERT_EQ(SPlay_CaptureImage(port, buf.data(), &w, &h), 1);
  EXPECT_EQ(w, 320u);
  EXPECT_EQ(h, 240u);
  EXPECT_EQ(SPlay_Stop(port), 1);
  EXPECT_EQ(SPlay_CloseStream(port), 1);
}

TEST_F(StreamPlayPort, AStreamPausedWhileAFrameWaitsForItsTimeStepsToThatFrame) {
  const std::string path = writeFile("pc_paced.rec", false, 60);
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  testsupport::ScopedTimeScale realTime(1.0);  // 40 ms between pictures: the play thread mostly waits for a frame's time
  ASSERT_EQ(SPlay_GetPort2(&port), 1);
  ASSERT_EQ(SPlay_SetStreamOpenMode(port, SPLAY_STREAME_FILE), 1);
  ASSERT_EQ(SPlay_OpenStream(port, nullptr, 0, 1 << 22), 1);
  ASSERT_EQ(SPlay_InputData(port, bytes.data(), static_cast<uint32_t>(bytes.size())), 1);
  ASSERT_EQ(SPlay_Play(port, wnd), 1);
  ASSERT_GE(nextIndex(0), 0);
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(SPlay_Pause(port, 1), 1);
    uint64_t s = serial();
    const int shown = nextIndex(s - 1);  // the picture the pause kept
    ASSERT_GE(shown, 0);
    ASSERT_EQ(SPlay_OneByOne(port), 1);
    EXPECT_EQ(nextIndex(s), shown + 1) << "round " << round;
    s = serial();
    ASSERT_EQ(SPlay_Pause(port, 0), 1);
    ASSERT_GE(nextIndex(s), 0);
  }
  EXPECT_EQ(SPlay_Stop(port), 1);
  EXPECT_EQ(SPlay_CloseStream(port), 1);
}

// A recorded file arriving as a stream, told its size the way the recorder's file record
// carries it (the bytes after the stream header): the position grows as it plays and is 1.0
// once the last frame is taken. Without the size a stream has no position.
TEST_F(StreamPlayPort, ARecordedFileStreamToldItsSizeReportsHowFarItPlayed) {
  const std::string path = writeFile("pc_position.rec", false, 40);
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const uint32_t after = static_cast<uint32_t>(bytes.size() - 16);
  const uint8_t sizeField[4] = {static_cast<uint8_t>(after), static_cast<uint8_t>(after >> 8),
                                static_cast<uint8_t>(after >> 16), static_cast<uint8_t>(after >> 24)};
  ASSERT_EQ(SPlay_GetPort2(&port), 1);
  ASSERT_EQ(SPlay_SetStreamOpenMode(port, SPLAY_STREAME_FILE), 1);
  ASSERT_EQ(SPlay_OpenStream(port, sizeField, 0, 1 << 22), 1);
  float pos = -1;
  ASSERT_EQ(SPlay_GetPlayPos(port, &pos), 1);
  EXPECT_EQ(pos, 0.0f);
  // Half the stream first: the position cannot pass the half before the rest arrives.
  const uint32_t half = static_cast<uint32_t>(bytes.size() / 2);
  ASSERT_EQ(SPlay_InputData(port, bytes.data(), half), 1);
  ASSERT_EQ(SPlay_Play(port, wnd), 1);
  ASSERT_TRUE(testsupport::Eventually([&] { return SPlay_GetPlayPos(port, &pos) == 1 && pos > 0.2f; })) << pos;
  EXPECT_LE(pos, 0.5f);
  ASSERT_EQ(SPlay_InputData(port, bytes.data() + half, static_cast<uint32_t>(bytes.size()) - half), 1);
  EXPECT_TRUE(testsupport::Eventually([&] { return SPlay_GetPlayPos(port, &pos) == 1 && pos == 1.0f; })) << pos;
  EXPECT_EQ(SPlay_Stop(port), 1);
  EXPECT_EQ(SPlay_CloseStream(port), 1);

  // The same stream opened without its size.
  ASSERT_EQ(SPlay_OpenStream(port, nullptr, 0, 1 << 22), 1);
  ASSERT_EQ(SPlay_InputData(port, bytes.data(), static_cast<uint32_t>(bytes.size())), 1);
  ASSERT_EQ(SPlay_Play(port, wnd), 1);
  ASSERT_GE(nextIndex(serial()), 0);
  ASSERT_EQ(SPlay_GetPlayPos(port, &pos), 1);
  EXPECT_EQ(pos, 0.0f);
  EXPECT_EQ(SPlay_Stop(port), 1);
  EXPECT_EQ(SPlay_CloseStream(port), 1);
}

TEST_F(StreamPlayPort, FileSteppingBackAndPositionShowTheRightFrames) {
  const std::string path = writeFile("pc_steps.rec", false, 30);
  ASSERT_EQ(SPlay_GetPort2(&port), 1);
  EXPECT_EQ(SPlay_OpenFile(port, "/nonexistent/file.rec"), 0);
  ASSERT_EQ(SPlay_OpenFile(port, path.c_str()), 1);
  ASSERT_EQ(SPlay_Play(port, wnd), 1);
  ASSERT_GE(nextIndex(0), 0);
  ASSERT_EQ(SPlay_Pause(port, 1), 1);
  uint64_t s = serial();
  ASSERT_EQ(SPlay_OneByOne(port), 1);
  const int a = nextIndex(s);
  ASSERT_GE(a, 0);
  s = serial();
  ASSERT_EQ(SPlay_OneByOne(port), 1);
  EXPECT_EQ(nextIndex(s), a + 1);
  s = serial();
  ASSERT_EQ(SPlay_OneByOneBack(port), 1);
  EXPECT_EQ(nextIndex(s), a);

  ASSERT_EQ(SPlay_SetPlayPos(port, 0.5f), 1);
  float pos = -1;
  ASSERT_EQ(SPlay_GetPlayPos(port, &pos), 1);
  EXPECT_NEAR(pos, 0.5f, 0.02f);
  s = serial();
  ASSERT_EQ(SPlay_OneByOne(port), 1);
  EXPECT_EQ(nextIndex(s), 15);  // video and audio frames alternate: half way is frame 15
  EXPECT_EQ(SPlay_SetPlayPos(port, 1.5f), 0);

  for (int i = 0; i < 4; ++i) EXPECT_EQ(SPlay_Fast(port), 1);
  EXPECT_EQ(SPlay_Fast(port), 0);  // fastest already
  EXPECT_EQ(SPlay_Slow(port), 1);
  EXPECT_EQ(SPlay_Pause(port, 0), 1);
  EXPECT_EQ(SPlay_PlaySound(port), 1);
  EXPECT_EQ(SPlay_SetVolume(port, 0x4000), 1);
  EXPECT_EQ(SPlay_StopSound(), 1);
  EXPECT_EQ(SPlay_Stop(port), 1);
  EXPECT_EQ(SPlay_CloseFile(port), 1);
  EXPECT_EQ(SPlay_CloseFile(port), 0);
}

TEST_F(StreamPlayPort, DrawCallbackRunsAfterEachPicture) {
  const std::string path = writeFile("pc_draw.rec", false, 6);
  ASSERT_EQ(SPlay_GetPort2(&port), 1);
  ASSERT_EQ(SPlay_OpenFile(port, path.c_str()), 1);
  struct Seen {
    std::mutex mu;
    int calls = 0;
    int width = 0, height = 0;
  } seen;
  // The callback draws into the picture: a red square that the window then shows.
  ASSERT_EQ(SPlay_RigisterDrawFun(port, [](int32_t, intptr_t dc, void* u) {
              auto* s = static_cast<Seen*>(u);
              plat::PaintContext* pc = plat::PaintContext::from(dc);
              if (!pc) return;
              pc->selectBrush(0x0000FF);
              pc->fillRect(10, 20, 30, 40);
              std::lock_guard<std::mutex> lock(s->mu);
              ++s->calls;
              s->width = pc->width();
              s->height = pc->height();
            }, &seen), 1);
  ASSERT_EQ(SPlay_Play(port, wnd), 1);
  ASSERT_GE(nextIndex(0), 0);
  ASSERT_EQ(SPlay_Pause(port, 1), 1);
  {
    std::lock_guard<std::mutex> lock(seen.mu);
    EXPECT_GE(seen.calls, 1);
    EXPECT_EQ(seen.width, 320);
    EXPECT_EQ(seen.height, 240);
  }
  plat::PresentedPicture pic;
  ASSERT_TRUE(plat::lastPresented(wnd, &pic));
  EXPECT_EQ(pic.pixels[25 * 320 + 15] & 0xFFFFFF, 0xFF0000u);  // 0x00RRGGBB
  EXPECT_NE(pic.pixels[45 * 320 + 15] & 0xFFFFFF, 0xFF0000u);
}

TEST(StreamPlayTalk, CapturedBlocksReachTheCallbackUntilClosed) {
  plat::setAudioBackend(plat::AudioBackendKind::Null);
  static std::vector<uint8_t> got;
  static uint32_t coding = 0;
  got.clear();
  EXPECT_EQ(SPlay_OpenTalk(nullptr, 0, 0), 0);
  EXPECT_EQ(StreamPlay_FeedTalkCapture(reinterpret_cast<const uint8_t*>("ab"), 2), -1);
  ASSERT_EQ(SPlay_OpenTalk([](const uint8_t* d, uint32_t n, uint32_t v1, uint32_t) {
              got.assign(d, d + n);
              coding = v1;
              return 0;
            }, 0, 0), 1);
  const uint8_t block[3] = {1, 2, 3};
  EXPECT_EQ(StreamPlay_FeedTalkCapture(block, 3), 0);
  EXPECT_EQ(got, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(coding, 1u);
  std::vector<uint8_t> audio(160, 0xFF);
  EXPECT_EQ(SPlay_InputTalkData(audio.data(), 160, 1, 0), 1);
  EXPECT_EQ(SPlay_CloseTalk(), 1);
  EXPECT_EQ(SPlay_CloseTalk(), 0);
  EXPECT_EQ(SPlay_InputTalkData(audio.data(), 160, 1, 0), 0);
  EXPECT_EQ(StreamPlay_FeedTalkCapture(block, 3), -1);
}

TEST(StreamPlayObserver, CallsAreReportedInOrder) {
  static std::vector<std::string> calls;
  calls.clear();
  StreamPlay_SetCallObserver([](const char* fn, int32_t, void*) { calls.emplace_back(fn); }, nullptr);
  int32_t p = -1;
  ASSERT_EQ(SPlay_GetPort2(&p), 1);
  SPlay_SetStreamOpenMode(p, 0);
  SPlay_FreePort(p);
  StreamPlay_SetCallObserver(nullptr, nullptr);
  SPlay_SDKInit();
  EXPECT_EQ(calls, (std::vector<std::string>{"SPlay_GetPort2", "SPlay_SetStreamOpenMode",
                                             "SPlay_FreePort"}));
}
