// Media buffer pools and the frame pacer.
#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "plat/msgthread.h"
#include "video/frame_pacer.h"
#include "video/frame_pool.h"

namespace corvane {
namespace {

TEST(FramePool, SizesOfThePoolBuffers) {
  EXPECT_EQ(kFrameBufferSize, 358440u);
  EXPECT_EQ(kAudioBufferSize, 1064u);
  EXPECT_EQ(kPictureBufferSize, 12441608u) << "an I420 picture of 3840 x 2160";
  EXPECT_EQ(kFrameBufferLimit, 40u + 4u * 1024 * 1024);
  EXPECT_EQ(kMediaHeaderSize, 40u);
  FramePool pool(3, 64);
  for (int i = 0; i < 3; ++i) {
    uint8_t* b = pool.takeFree();
    ASSERT_NE(b, nullptr);
    for (int k = 0; k < 64; ++k) ASSERT_EQ(b[k], 0) << "buffers start zero-filled";
  }
}

TEST(FramePool, BothListsAreFirstInFirstOutAndNothingIsLost) {
  FramePool pool(3, 16);
  uint8_t* a = pool.takeFree();
  uint8_t* b = pool.takeFree();
  uint8_t* c = pool.takeFree();
  EXPECT_EQ(pool.takeFree(), nullptr) << "an empty free list yields none";
  pool.putReady(b);
  pool.putReady(a);
  pool.putReady(c);
  EXPECT_EQ(pool.readyCount(), 3);
  EXPECT_EQ(pool.takeReady(), b);
  EXPECT_EQ(pool.takeReady(), a);
  pool.giveFree(a);
  pool.giveFree(b);
  EXPECT_EQ(pool.takeReady(), c);
  EXPECT_EQ(pool.takeReady(), nullptr);
  EXPECT_EQ(pool.takeFree(), a);
  EXPECT_EQ(pool.takeFree(), b);
  // A buffer the pool did not make is refused, so the lists never overflow.
  uint8_t foreign[16];
  pool.giveFree(foreign);
  pool.putReady(foreign);
  EXPECT_EQ(pool.freeCount(), 0);
  EXPECT_EQ(pool.readyCount(), 0);
}

TEST(FramePool, HeadersAreWrittenFieldByFieldLittleEndian) {
  uint8_t buf[kMediaHeaderSize + 4];
  std::fill(std::begin(buf), std::end(buf), 0xEE);
  MediaHeader h{0x01020304, 358400, 1280, 720, 2, 1, 0xA0B0C0D0, 999999};
  h.write(buf);
  EXPECT_EQ(buf[0], 0x04);
  EXPECT_EQ(buf[3], 0x01);
  EXPECT_EQ(buf[8], 1280 & 0xFF);
  EXPECT_EQ(buf[9], 1280 >> 8);
  EXPECT_EQ(buf[12], 2);
  EXPECT_EQ(buf[14], 1);
  EXPECT_EQ(buf[16], 0xD0);
  EXPECT_EQ(buf[39], 0) << "the rest of the header is cleared";
  EXPECT_EQ(buf[40], 0xEE) << "nothing written past the header";
  MediaHeader back = MediaHeader::read(buf);
  EXPECT_EQ(back.stamp, h.stamp);
  EXPECT_EQ(back.height, 720);
  EXPECT_EQ(back.microseconds, 999999u);

  PictureHeader p{77, 1280, 720};
  uint8_t pic[8];
  p.write(pic);
  EXPECT_EQ(PictureHeader::read(pic).width, 1280);
  EXPECT_EQ(PictureHeader::uOffset(1280, 720), 8u + 921600u);
  EXPECT_EQ(PictureHeader::vOffset(1280, 720), 8u + 1152000u);
  EXPECT_EQ(PictureHeader::bytesFor(3840, 2160), kPictureBufferSize);
}

TEST(FramePool, BuffersAreMadeAsUsedAndGrowUpToTheLimit) {
  FramePool pool(50, 100, 1000);
  EXPECT_EQ(pool.madeCount(), 0);
  EXPECT_EQ(pool.freeCount(), 50);
  // A stream that keeps up cycles through the buffers it already made.
  for (int i = 0; i < 200; ++i) {
    uint8_t* b = pool.takeFree();
    ASSERT_NE(b, nullptr);
    pool.putReady(b);
    pool.giveFree(pool.takeReady());
  }
  EXPECT_EQ(pool.madeCount(), 1);
  EXPECT_EQ(pool.committedBytes(), 100u);
  uint8_t* a = pool.takeFree();
  uint8_t* b = pool.takeFree();
  EXPECT_EQ(pool.madeCount(), 2);
  EXPECT_EQ(pool.freeCount(), 48);
  EXPECT_EQ(pool.grow(a, 80), a) << "room enough: the same buffer";
  uint8_t* big = pool.grow(a, 700);
  ASSERT_NE(big, nullptr);
  EXPECT_GE(pool.capacity(big), 700u);
  big[699] = 1;  // its whole size is usable
  EXPECT_EQ(pool.grow(big, 1001), nullptr) << "beyond the limit";
  EXPECT_GE(pool.capacity(big), 700u) << "a refused growth leaves the buffer";
  EXPECT_EQ(pool.grow(b + 1, 10), nullptr) << "not a buffer of the pool";
  pool.putReady(big);
  EXPECT_EQ(pool.takeReady(), big);
  pool.giveFree(big);
  pool.giveFree(b);
  EXPECT_EQ(pool.freeCount(), 50);
}

// Waits are bounded in real time only so that a missing wake fails instead of hanging.
constexpr auto kWakeBound = std::chrono::seconds(30);
constexpr int kLongWaitMs = 3600 * 1000;

TEST(FramePool, WaitersWakeOnWorkAndOnCancel) {
  FramePool pool(2, 16);
  auto ready = std::async(std::launch::async, [&] { return pool.takeReadyWait(kLongWaitMs); });
  uint8_t* b = pool.takeFree();
  pool.putReady(b);
  ASSERT_EQ(ready.wait_for(kWakeBound), std::future_status::ready);
  EXPECT_EQ(ready.get(), b);

  uint8_t* c = pool.takeFree();
  ASSERT_NE(c, nullptr);
  auto free = std::async(std::launch::async, [&] { return pool.takeFreeWait(kLongWaitMs); });
  pool.giveFree(b);
  ASSERT_EQ(free.wait_for(kWakeBound), std::future_status::ready);
  EXPECT_EQ(free.get(), b);

  // Nothing comes: the stop's cancel ends the wait, and later waits return at once.
  auto idle = std::async(std::launch::async, [&] { return pool.takeReadyWait(kLongWaitMs); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  pool.cancelWaits();
  ASSERT_EQ(idle.wait_for(kWakeBound), std::future_status::ready);
  EXPECT_EQ(idle.get(), nullptr);
  auto again = std::async(std::launch::async, [&] { return pool.takeFreeWait(kLongWaitMs); });
  ASSERT_EQ(again.wait_for(kWakeBound), std::future_status::ready);
  EXPECT_EQ(again.get(), nullptr);
  pool.resumeWaits();
  pool.putReady(c);
  EXPECT_EQ(pool.takeReadyWait(kLongWaitMs), c);
  EXPECT_EQ(pool.takeReadyWait(1), nullptr) << "a short wait on nothing times out";
}

TEST(FramePacer, StepsStayWithinTenToSixty) {
  FramePacer p;
  EXPECT_EQ(p.period(), 35);
  EXPECT_FALSE(p.running());
  EXPECT_TRUE(p.faster());
  EXPECT_EQ(p.period(), 34);
  while (p.faster()) {
  }
  EXPECT_EQ(p.period(), 10);
  EXPECT_FALSE(p.faster());
  EXPECT_EQ(p.period(), 10);
  while (p.slower()) {
  }
  EXPECT_EQ(p.period(), 60);
  EXPECT_FALSE(p.slower());
  EXPECT_FALSE(p.running()) << "a stopped pacer changes period without starting";
  // A period outside the bounds is first brought back to the nearer bound.
  p.setPeriodUnchecked(75);
  EXPECT_TRUE(p.faster());
  EXPECT_EQ(p.period(), 59);
  p.setPeriodUnchecked(3);
  EXPECT_FALSE(p.faster());
  EXPECT_EQ(p.period(), 10);
}

TEST(FramePacer, AdaptsToHowFullThePicturePoolRuns) {
  FramePacer p;
  // 150 full ticks do nothing; the 151st goes one step faster and restarts the count.
  for (int i = 0; i < 150; ++i) p.adapt(5);
  EXPECT_EQ(p.period(), 35);
  p.adapt(6);
  EXPECT_EQ(p.period(), 34);
  for (int i = 0; i < 150; ++i) p.adapt(7);
  EXPECT_EQ(p.period(), 34);
  // A tick with fewer than 5 ready clears the count.
  p.adapt(4);
  for (int i = 0; i < 150; ++i) p.adapt(5);
  EXPECT_EQ(p.period(), 34);
  // 3 or fewer ready for more than 50 ticks: one step slower.
  FramePacer q;
  for (int i = 0; i < 50; ++i) q.adapt(i % 2 ? 3 : 0);
  EXPECT_EQ(q.period(), 35);
  q.adapt(1);
  EXPECT_EQ(q.period(), 36);
  for (int i = 0; i < 30; ++i) q.adapt(2);
  q.adapt(4);  // more than 3 clears the slow count
  for (int i = 0; i < 50; ++i) q.adapt(3);
  EXPECT_EQ(q.period(), 36);
  // Four ready counts for neither.
  for (int i = 0; i < 400; ++i) q.adapt(4);
  EXPECT_EQ(q.period(), 36);
}

TEST(FramePacer, RunningPacerPostsRenderTicksAndRestartsOnAStep) {
  plat::ThreadId id = plat::attachThreadQueue();
  FramePacer p;
  EXPECT_FALSE(p.start()) << "no callback yet";
  p.postTicksTo(id);
  ASSERT_TRUE(p.start());
  EXPECT_TRUE(p.running());
  plat::Message m;
  ASSERT_TRUE(plat::getMessage(m, 5000));
  EXPECT_EQ(m.message, kRenderTickMessage);
  EXPECT_TRUE(p.faster());
  EXPECT_TRUE(p.running());
  ASSERT_TRUE(plat::getMessage(m, 5000));
  EXPECT_EQ(m.message, kRenderTickMessage);
  while (p.faster()) {
  }
  EXPECT_TRUE(p.running()) << "a refused step leaves the timer as it runs";
  p.stop();
  EXPECT_FALSE(p.running());
  plat::detachThreadQueue();
}

TEST(FramePacer, OnTheStartingThreadTicksComeAsItsOwnTimer) {
  plat::attachThreadQueue();
  FramePacer p;
  p.tickOnStartingThread(kRenderTimerId);
  ASSERT_TRUE(p.start());
  EXPECT_FALSE(p.start()) << "already running";
  plat::Message m;
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(plat::getMessage(m, 5000));
    EXPECT_EQ(m.message, plat::WM_TIMER);
    EXPECT_EQ(m.wParam, kRenderTimerId);
    EXPECT_TRUE(p.faster()) << "a step restarts the timer at the new period";
    EXPECT_TRUE(p.running());
  }
  p.stop();
  EXPECT_FALSE(p.running());
  while (plat::peekMessage(m)) {
  }
  EXPECT_FALSE(plat::getMessage(m, 200)) << "no tick after the stop";
  plat::detachThreadQueue();
}

}  // namespace
}  // namespace corvane
