// The player's threads meeting: snapshots while the render thread draws, status texts while
// the picture size changes, the render thread and the GUI thread that paints its pictures.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <future>
#include <thread>

#include "render_fixture.h"
#include "video/video_player.h"
#include "support/TestFolder.h"
#include "support/Wait.h"

namespace corvane {
namespace {

using test::DisplayGuard;
using test::FlatPicture;
using test::TestPictures;
using test::TestWindow;

// A player without decoders drawing into a window of its own, and pictures to draw.
class VideoThreads : public ::testing::Test {
 protected:
  void SetUp() override { player.SetMainWindow(w.handle); }

  DisplayGuard guard;
  TestWindow w;
  VideoPlayer player{nullptr, DecoderEntries{}};
  TestPictures pictures;
};

TEST_F(VideoThreads, EverySnapshotHoldsOneWholeFrame) {
  const PictureRef black = pictures.flat(FlatPicture(320, 240, 16)), white = pictures.flat(FlatPicture(320, 240, 235));
  player.RenderPicture(black);
  // (Stopped and joined however the test leaves.)
  std::jthread render([&](std::stop_token stop) {
    // Draws back to back, with a short pause between frames as a paced thread has.
    for (int i = 0; i < 20000 && !stop.stop_requested(); ++i) {
      player.RenderPicture(i % 2 ? white : black);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  std::string path = testsupport::TestFile("threads_snap.bmp");
  for (int n = 0; n < 12; ++n) {
    ASSERT_EQ(player.SaveBmp(path.c_str()), 1);
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> d(54 + 320 * 240 * 4);
    ASSERT_EQ(std::fread(d.data(), 1, d.size(), f), d.size());
    std::fclose(f);
    const uint8_t first = d[54];
    for (size_t i = 54; i < d.size(); i += 4) ASSERT_EQ(d[i], first) << "torn at byte " << i;
  }
  render.request_stop();
  render.join();
  std::remove(path.c_str());
}

TEST_F(VideoThreads, StatusTextsWhileTheRenderThreadResizes) {
  const PictureRef small = pictures.flat(FlatPicture(64, 48, 100)), large = pictures.flat(FlatPicture(352, 288, 100));
  std::jthread render([&](std::stop_token stop) {
    for (int i = 0; i < 4000 && !stop.stop_requested(); ++i) {
      player.RenderPicture(i % 2 ? large : small);
      player.ClearStatusText();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  for (int i = 0; i < 100; ++i) {
    player.DrawStatusText(i % 3, (i + 1) % 3);
    player.SetOsdText("64x48, 25 fps, 100.00 kbps");
    player.SetOsdFlag(kOsdFlagStatistics | kOsdFlagRecording, i % 2);
    player.UpdateOsd();
  }
  render.request_stop();
  render.join();
  auto shown = w.shown();
  EXPECT_TRUE((shown.width == 64 && shown.height == 48) || (shown.width == 352 && shown.height == 288));
}

// Draws on threads of their own. A draw may wait for a paint that never comes when the
// player misbehaves: leaving, the window stops counting as painting, which lets every draw
// still waiting go, so a failed test ends within its bound instead of the paint wait's.
class Draws {
 public:
  Draws(VideoPlayer& player, plat::WindowHandle window) : player_(player), window_(window) {}
  ~Draws() { plat::setWindowPainter(window_, false); }
  std::future<void>& start(const PictureRef& p) {
    return pending_.emplace_back(std::async(std::launch::async, [this, p] { player_.RenderPicture(p); }));
  }
  // Whether a draw started now ends within the test's bound.
  bool atOnce(const PictureRef& p) { return ends(start(p)); }
  static bool ends(std::future<void>& draw) {
    return draw.wait_for(testsupport::Patience()) == std::future_status::ready;
  }
  // Whether the draw is still waiting a while after it started.
  static bool waits(std::future<void>& draw) {
    return draw.wait_for(std::chrono::milliseconds(50)) == std::future_status::timeout;
  }

 private:
  VideoPlayer& player_;
  const plat::WindowHandle window_;
  std::deque<std::future<void>> pending_;  // declared last: waited for once the painter is gone
};

TEST_F(VideoThreads, APictureIsDrawnOverTheOneBeforeOnlyOnceTheWindowPaintedIt) {
  const PictureRef a = pictures.flat(FlatPicture(64, 48, 16)), b = pictures.flat(FlatPicture(64, 48, 235));
  plat::setWindowPainter(w.handle, true);
  auto serial = [&] {
    plat::PresentedFrame f;
    return plat::presentedFrame(w.handle, &f) ? f.serial : 0;
  };
  // A paint wait far beyond the test's bound: a draw that waits for a paint never given
  // fails the test rather than passing after the wait.
  const int neverMs = 4 * testsupport::kPatienceMs;
  Draws draws(player, w.handle);
  player.setPaintWait(neverMs);
  ASSERT_TRUE(draws.atOnce(a)) << "nothing drawn before it";
  const uint64_t first = serial();
  // The GUI thread is late: the next picture waits for its paint of the first.
  auto& late = draws.start(b);
  EXPECT_TRUE(Draws::waits(late));
  EXPECT_EQ(serial(), first);
  plat::notePainted(w.handle, first);
  ASSERT_TRUE(Draws::ends(late));
  EXPECT_EQ(serial(), first + 1);
  // A window that lets the wait run out is drawn over, and not waited for again until it
  // paints.
  player.setPaintWait(1);
  player.RenderPicture(a);
  EXPECT_EQ(serial(), first + 2);
  player.setPaintWait(neverMs);
  ASSERT_TRUE(draws.atOnce(b));
  EXPECT_EQ(serial(), first + 3);
  plat::notePainted(w.handle, first + 3);
  ASSERT_TRUE(draws.atOnce(a));
  auto& again = draws.start(b);
  EXPECT_TRUE(Draws::waits(again)) << "painting again";
  plat::notePainted(w.handle, first + 4);
  ASSERT_TRUE(Draws::ends(again));
  // A stop ends a draw's wait at once, and nothing is drawn from then on: the window may
  // belong to the next stream already.
  const uint64_t beforeStop = serial();
  auto& stopped = draws.start(a);
  EXPECT_TRUE(Draws::waits(stopped));
  player.endPaintWaits();
  ASSERT_TRUE(Draws::ends(stopped)) << "the stop did not end the wait";
  ASSERT_TRUE(draws.atOnce(b)) << "waited after the stop";
  EXPECT_EQ(serial(), beforeStop) << "drawn after the stop";
}

}  // namespace
}  // namespace corvane
