// The recorder player over the player library, and the file player's pictures in every
// display format.
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "StreamPlay.h"
#include "localplay/FileLocalPlayback.h"
#include "localplay/QXLocalPlayback.h"
#include "localplay_fixture.h"

using namespace localplay_test;

namespace {

struct PortCalls {
  static inline std::mutex mu;
  static inline std::vector<std::pair<std::string, int32_t>> calls;
  static void Observe(const char* fn, int32_t port, void*) {
    std::lock_guard<std::mutex> lock(mu);
    calls.emplace_back(fn, port);
  }
  static size_t Size() {
    std::lock_guard<std::mutex> lock(mu);
    return calls.size();
  }
  static int Count(const std::string& fn) {
    std::lock_guard<std::mutex> lock(mu);
    int n = 0;
    for (auto& c : calls) n += c.first == fn;
    return n;
  }
};

struct QXPlaybackTest : QuickClock {
  void SetUp() override {
    QuickClock::SetUp();
    PortCalls::calls.clear();
    StreamPlay_SetCallObserver(&PortCalls::Observe, nullptr);
  }
  void TearDown() override {
    StreamPlay_SetCallObserver(nullptr, nullptr);
    QuickClock::TearDown();
  }
};

TEST_F(QXPlaybackTest, WithoutAPortNothingReachesThePlayer) {
  CDevQXLocalPlayback p;
  EXPECT_FLOAT_EQ(p.GetPlayPos(), 0.0f);
  EXPECT_EQ(p.Play(0), 0);
  EXPECT_EQ(p.Stop(), 0);
  EXPECT_EQ(p.Pause(1), 0);
  EXPECT_EQ(p.Fast(), 0);
  EXPECT_EQ(p.CapturePicture("x.bmp", 1), 0);
  EXPECT_EQ(p.SetVolume(5), 0);
  EXPECT_EQ(p.InputData(nullptr, 0), 0);
  EXPECT_EQ(p.Close(), 0);
  EXPECT_TRUE(PortCalls::calls.empty());
}

// A port goes back at Close only: Open takes a new one whatever the player held, and deleting
// the player touches the player library not at all (callers Close first).
TEST_F(QXPlaybackTest, PortsGoBackAtCloseOnly) {
  TempDir dir;
  const std::string missing = dir.file("none.dat");
  int32_t first = -1, left = -1;
  {
    CDevQXLocalPlayback p;
    EXPECT_EQ(p.Open(missing.c_str(), 0), 0);  // the file is not there
    first = p.Port();
    ASSERT_NE(first, -1);
    p.Open(missing.c_str(), 0);
    EXPECT_NE(p.Port(), first);
    EXPECT_EQ(PortCalls::Count("SPlay_FreePort"), 0);
    p.Stop();
    EXPECT_NE(p.Port(), -1);  // Stop keeps the port
    EXPECT_EQ(PortCalls::Count("SPlay_FreePort"), 0);
    EXPECT_EQ(p.PlayStateValue(), -1);
    p.Close();
    EXPECT_EQ(p.Port(), -1);
    EXPECT_EQ(PortCalls::Count("SPlay_FreePort"), 1);
    p.Open(missing.c_str(), 0);
    left = p.Port();
    PortCalls::calls.clear();
  }
  EXPECT_EQ(PortCalls::Size(), 0u) << "deleting the player called the player library";
  // The two ports the player was not asked to close are still taken.
  EXPECT_EQ(SPlay_FreePort(first), 1);
  EXPECT_EQ(SPlay_FreePort(left), 1);
  // Stream input reaches the port of the player.
  CDevQXLocalPlayback s;
  s.Open(missing.c_str(), 0);
  EXPECT_EQ(s.OpenStream(nullptr, 0, 1 << 20), 1);
  EXPECT_EQ(s.CloseStream(), 1);
  s.Close();
}

TEST(FilePictures, EveryDisplayFormatShowsThePicture) {
  plat::setAudioBackend(plat::AudioBackendKind::Null);
  TempDir dir;
  const std::string file = Record(dir, "fmt", 3, clipgen::Codec::H264, false);
  ASSERT_FALSE(file.empty());
  for (const plat::SurfaceFormat& f :
       {plat::SurfaceFormat::rgb565(), plat::SurfaceFormat::rgb555(),
        plat::SurfaceFormat::rgb24(), plat::SurfaceFormat::rgb32()}) {
    plat::setDisplayFormat(f);
    Window wnd;
    CDevFileLocalPlayback p;
    ASSERT_EQ(p.Open(file.c_str(), wnd.handle), 1) << f.bitCount;
    EXPECT_EQ(wnd.FrameShown(), 0) << f.bitCount;
    ASSERT_EQ(p.Step(), 1);
    EXPECT_EQ(wnd.FrameShown(), 1) << f.bitCount;
  }
  plat::setDisplayFormat(plat::SurfaceFormat::rgb32());
  // A display that cannot be set up shows nothing, and the file still plays.
  plat::failDisplayStep(plat::DisplayStep::Back, true);
  Window wnd;
  CDevFileLocalPlayback p;
  EXPECT_EQ(p.Open(file.c_str(), wnd.handle), 1);
  EXPECT_EQ(wnd.Serial(), 0u);
  EXPECT_EQ(p.Step(), 1);
  plat::clearDisplayFailures();
  EXPECT_EQ(p.Step(), 1);
  EXPECT_EQ(wnd.FrameShown(), 2);
}

}  // namespace
