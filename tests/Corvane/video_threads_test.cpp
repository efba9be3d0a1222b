// The player's threads meeting: snapshots while the render thread draws, status texts while
// the picture size changes, the render thread and the GUI thread that paints its pictures.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "render_fixture.h"
#include "video/video_player.h"
#include "support/TestFolder.h"

namespace corvane {
namespace {

using test::DisplayGuard;
using test::FlatPicture;
using test::TestPictures;
using test::TestWindow;

TEST(VideoThreads, EverySnapshotHoldsOneWholeFrame) {
  DisplayGuard guard;
  TestWindow w;
  VideoPlayer player(nullptr, DecoderEntries{});
  player.SetMainWindow(w.handle);
  TestPictures pictures;
  const PictureRef black = pictures.flat(FlatPicture(320, 240, 16)), white = pictures.flat(FlatPicture(320, 240, 235));
  player.RenderPicture(black);
  std::atomic<bool> stop{false};
  std::thread render([&] {
    // Draws back to back, with a short pause between frames as a paced thread has.
    for (int i = 0; i < 20000 && !stop; ++i) {
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
  stop = true;
  render.join();
  std::remove(path.c_str());
}

TEST(VideoThreads, StatusTextsWhileTheRenderThreadResizes) {
  DisplayGuard guard;
  TestWindow w;
  VideoPlayer player(nullptr, DecoderEntries{});
  player.SetMainWindow(w.handle);
  TestPictures pictures;
  const PictureRef small = pictures.flat(FlatPicture(64, 48, 100)), large = pictures.flat(FlatPicture(352, 288, 100));
  std::atomic<bool> stop{false};
  std::thread render([&] {
    for (int i = 0; i < 4000 && !stop; ++i) {
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
  stop = true;
  render.join();
  auto shown = w.shown();
  EXPECT_TRUE((shown.width == 64 && shown.height == 48) || (shown.width == 352 && shown.height == 288));
}

TEST(VideoThreads, APictureIsDrawnOverTheOneBeforeOnlyOnceTheWindowPaintedIt) {
  DisplayGuard guard;
  TestWindow w;
  VideoPlayer player(nullptr, DecoderEntries{});
  player.SetMainWindow(w.handle);
  TestPictures pictures;
  const PictureRef a = pictures.flat(FlatPicture(64, 48, 16)), b = pictures.flat(FlatPicture(64, 48, 235));
  plat::setWindowPainter(w.handle, true);
  auto serial = [&] {
    plat::PresentedFrame f;
    return plat::presentedFrame(w.handle, &f) ? f.serial : 0;
  };
  // Waits only the test's bound: a draw that waits for a paint never given fails it.
  auto drawsAtOnce = [&](const PictureRef& p) {
    auto draw = std::async(std::launch::async, [&] { player.RenderPicture(p); });
    return draw.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  };
  player.setPaintWait(3600 * 1000);
  ASSERT_TRUE(drawsAtOnce(a)) << "nothing drawn before it";
  const uint64_t first = serial();
  // The GUI thread is late: the next picture waits for its paint of the first.
  auto late = std::async(std::launch::async, [&] { player.RenderPicture(b); });
  EXPECT_EQ(late.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  EXPECT_EQ(serial(), first);
  plat::notePainted(w.handle, first);
  ASSERT_EQ(late.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  EXPECT_EQ(serial(), first + 1);
  // A window that lets the wait run out is drawn over, and not waited for again until it
  // paints.
  player.setPaintWait(1);
  player.RenderPicture(a);
  EXPECT_EQ(serial(), first + 2);
  player.setPaintWait(3600 * 1000);
  ASSERT_TRUE(drawsAtOnce(b));
  EXPECT_EQ(serial(), first + 3);
  plat::notePainted(w.handle, first + 3);
  ASSERT_TRUE(drawsAtOnce(a));
  auto again = std::async(std::launch::async, [&] { player.RenderPicture(b); });
  EXPECT_EQ(again.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout) << "painting again";
  plat::notePainted(w.handle, first + 4);
  ASSERT_EQ(again.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  // A stop ends a draw's wait at once, and no draw waits after it.
  auto stopped = std::async(std::launch::async, [&] { player.RenderPicture(a); });
  EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  player.endPaintWaits();
  const bool ended = stopped.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  plat::notePainted(w.handle, first + 5);  // lets go of a draw the stop did not end
  ASSERT_TRUE(ended) << "the stop did not end the wait";
  EXPECT_EQ(serial(), first + 6);
  ASSERT_TRUE(drawsAtOnce(b)) << "waited after the stop";
  plat::setWindowPainter(w.handle, false);
}

}  // namespace
}  // namespace corvane
