// Media buffer pools and the frame pacer.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <fstream>
#include <vector>

#include "Corvane.h"
#include "plat/clock.h"
#include "plat/hrtimer.h"
#include "support/ChildProcess.h"
#include "support/TimeScale.h"
#include "support/Wait.h"
#include "stream/frame_stats.h"
#include "video/frame_pacer.h"
#include "video/frame_pool.h"
#include "video/picture_pool.h"

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
  MediaBuffer h{0x01020304, 358400, 1280, 720, 2, 1, 0xA0B0C0D0, 999999};
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
  MediaBuffer back = MediaBuffer::read(buf);
  EXPECT_EQ(back.stamp, h.stamp);
  EXPECT_EQ(back.height, 720);
  EXPECT_EQ(back.microseconds, 999999u);

  DecodedPicture p{77, 1280, 720};
  uint8_t pic[8];
  p.write(pic);
  EXPECT_EQ(DecodedPicture::read(pic).width, 1280);
  EXPECT_EQ(DecodedPicture::uOffset(1280, 720), 8u + 921600u);
  EXPECT_EQ(DecodedPicture::vOffset(1280, 720), 8u + 1152000u);
  EXPECT_EQ(DecodedPicture::bytesFor(3840, 2160), kPictureBufferSize);
}

TEST(FramePool, BuffersAreMadeOnceAndCostOnlyThePagesWritten) {
  // A displaying stream's frames: 50 buffers large enough for a 4 MiB key frame, 200 MiB
  // in all, of which only what frames fill is ever in memory.
  FramePool pool(kLiveFramesDisplaying, kFrameBufferLimit);
  EXPECT_EQ(pool.freeCount(), 50);
  EXPECT_LT(pool.committedBytes(), size_t{1} << 20) << "nothing written yet";
  std::vector<uint8_t*> all;
  for (uint8_t* b = pool.takeFree(); b; b = pool.takeFree()) all.push_back(b);
  ASSERT_EQ(all.size(), 50u);
  for (uint8_t* b : all) {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 64, 0u) << "each buffer starts on a cache line";
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[kFrameBufferLimit - 1], 0);
  }
  std::fill(all[7], all[7] + 200000, uint8_t{0x5A});
  const size_t committed = pool.committedBytes();
  EXPECT_GE(committed, 200000u);
  EXPECT_LT(committed, size_t{2} << 20) << committed;
  // Whatever was written stays the buffer's across its trips through the lists.
  for (uint8_t* b : all) pool.giveFree(b);
  for (int i = 0; i < 50; ++i) {
    uint8_t* b = pool.takeFree();
    pool.putReady(b);
    pool.giveFree(pool.takeReady());
  }
  EXPECT_EQ(all[7][199999], 0x5A);
  EXPECT_EQ(pool.freeCount(), 50);
}

// A stream's buffers are mapped as it is opened: in a process whose address space cannot take
// them (here a child given 64 MiB more than it uses) the open fails with a null handle, and
// the session goes on, rather than an exception crossing the C boundary and ending the process.
TEST(FramePool, AStreamWhoseBuffersCannotBeMappedIsNotOpened) {
  const testsupport::ChildEnd end = testsupport::RunForked([] {
    IpcLoginInfo li{};
    li.address = INADDR_LOOPBACK;
    li.port = 9;  // never connected: the session is not told to connect
    IPC_HANDLE session = IPC_SessionOpen(&li);
    if (!session) return 2;
    // The session's control thread has made its first attempt (and set itself up) before
    // the address space is cut, so only the open meets the limit; its next attempt comes
    // 5 s later.
    static std::atomic<bool> tried{false};
    IPC_SetSessionHook(session, [](int event, void*, int, void*) { if (event == 1) tried = true; }, nullptr);
    if (!testsupport::Eventually([] { return tried.load(); })) return 7;
    size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t{64} << 20);
    rlimit before{};
    if (getrlimit(RLIMIT_AS, &before) != 0) return 3;
    const rlimit r{limit, before.rlim_max};
    if (setrlimit(RLIMIT_AS, &r) != 0) return 3;
    try {
      if (IPC_StreamOpen(session, 1, 0, 1) != nullptr) return 4;
    } catch (...) {
      return 6;  // an exception out of the open
    }
    // The close runs with the room it had before: the limit was for the open alone.
    if (setrlimit(RLIMIT_AS, &before) != 0) return 3;
    return IPC_SessionClose(session) == 1 ? 0 : 5;
  });
  EXPECT_TRUE(end.Succeeded()) << end.Describe();
}

// Waits are bounded in real time only so that a missing wake fails instead of hanging.
constexpr auto kWakeBound = std::chrono::seconds(30);
constexpr int kLongWaitMs = 3600 * 1000;

// A wait on nothing, begun on a thread of its own: the stop's cancel ends it at once.
template <class Pool, class Wait>
void expectTheCancelEndsAWait(Pool& pool, Wait wait) {
  auto idle = std::async(std::launch::async, wait);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  pool.cancelWaits();
  ASSERT_EQ(idle.wait_for(kWakeBound), std::future_status::ready);
  EXPECT_EQ(idle.get(), nullptr);
}

TEST(FramePool, WaitersWakeOnWorkAndOnCancel) {
  FramePool pool(2, 16);
  auto ready = std::async(std::launch::async, [&] { return pool.takeReadyWait(kLongWaitMs); });
  uint8_t* b = pool.takeFree();
  pool.putReady(b);
  ASSERT_EQ(ready.wait_for(kWakeBound), std::future_status::ready);
  EXPECT_EQ(ready.get(), b);

  uint8_t* c = pool.takeFree();
  ASSERT_NE(c, nullptr);

  // Nothing comes: the stop's cancel ends the wait, and later waits return at once.
  expectTheCancelEndsAWait(pool, [&] { return pool.takeReadyWait(kLongWaitMs); });
  auto again = std::async(std::launch::async, [&] { return pool.takeReadyWait(kLongWaitMs); });
  ASSERT_EQ(again.wait_for(kWakeBound), std::future_status::ready);
  EXPECT_EQ(again.get(), nullptr);
  pool.resumeWaits();
  pool.putReady(c);
  EXPECT_EQ(pool.takeReadyWait(kLongWaitMs), c);
  EXPECT_EQ(pool.takeReadyWait(1), nullptr) << "a short wait on nothing times out";
}

TEST(PicturePool, PicturesAreBoundedByTheCountAndComeBackWhenTheLastReferenceGoes) {
  auto pool = std::make_unique<PicturePool>(3);
  PictureSlot* a = pool->takeFree();
  PictureSlot* b = pool->takeFree();
  PictureSlot* c = pool->takeFree();
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(pool->takeFree(), nullptr) << "a pool makes no more than its count";
  EXPECT_LT(pool->committedBytes(), size_t{64} << 10) << "slots cost nothing until written";
  for (PictureSlot* s : {a, b, c}) ASSERT_NE(s->copyInto(64, 32), nullptr);
  EXPECT_EQ(a->copyInto(kPictureMaxWidth + 2, 32), nullptr) << "beyond the largest picture a slot takes";
  ASSERT_NE(a->copyInto(64, 32), nullptr);
  pool->putReady(a);
  pool->putReady(b);
  pool->giveFree(c);
  EXPECT_EQ(pool->readyCount(), 2);
  PictureRef first = pool->takeReady();
  EXPECT_EQ(first.get(), a) << "first in, first out";
  PictureRef copy = first;  // a renderer keeps it
  first.reset();
  EXPECT_EQ(pool->freeCount(), 1) << "still referenced";
  // Let go on another thread, as a renderer on the render thread does.
  std::thread([&] { copy.reset(); }).join();
  EXPECT_EQ(pool->freeCount(), 2);
  // A picture may outlive its pool (a window's last picture after its stream closed).
  PictureRef late = pool->takeReady();
  ASSERT_TRUE(late);
  pool.reset();
  EXPECT_EQ(late->width(), 64);
  late.reset();
}

// Ticks of a pacer, counted by its callback on the timer's thread.
struct Ticks {
  std::atomic<int> count{0};
  static void tick(void* user) { ++static_cast<Ticks*>(user)->count; }
  // True once `more` ticks came after the count `from`.
  bool come(int from, int more) const {
    return testsupport::Eventually([&] { return count.load() >= from + more; });
  }
};

// Ticks on a tenth of the product's time: 1 to 6 ms apart.

TEST(FramePacer, MadeStoppedAtThirtyFiveWithATimerPeriodThatItsDestructionEnds) {
  const int begun = plat::timerPeriodsBegun();
  {
    FramePacer pacer;
    EXPECT_EQ(pacer.period(), 35);
    EXPECT_FALSE(pacer.running());
    EXPECT_GE(pacer.resolution(), 1);
    EXPECT_EQ(plat::timerPeriodsBegun(), begun + 1);
    EXPECT_FALSE(pacer.start()) << "no callback to tick";
    EXPECT_FALSE(pacer.running());
  }
  EXPECT_EQ(plat::timerPeriodsBegun(), begun);
}

TEST(FramePacer, StepsStayWithinTenToSixtyAndAStepRefusedLeavesTheTimerRunning) {
  testsupport::ScopedTimeScale fast(0.1);
  FramePacer pacer;
  Ticks ticks;
  pacer.setCallback(&Ticks::tick, &ticks);
  // Stopped: the period moves and the timer stays off.
  EXPECT_TRUE(pacer.faster());
  EXPECT_EQ(pacer.period(), 34);
  EXPECT_FALSE(pacer.running());
  while (pacer.period() > 10) ASSERT_TRUE(pacer.faster());
  EXPECT_FALSE(pacer.faster()) << "10 ms is the fastest";
  EXPECT_EQ(pacer.period(), 10);
  EXPECT_FALSE(pacer.running());
  EXPECT_EQ(ticks.count.load(), 0);

  ASSERT_TRUE(pacer.start());
  EXPECT_FALSE(pacer.start()) << "already running";
  ASSERT_TRUE(ticks.come(0, 3));
  EXPECT_FALSE(pacer.faster());
  EXPECT_EQ(pacer.period(), 10);
  EXPECT_TRUE(pacer.running());
  ASSERT_TRUE(ticks.come(ticks.count.load(), 3)) << "the refused step left the timer ticking";
  // Running: every step restarts the timer at the new period.
  for (int p = 11; p <= 60; ++p) {
    ASSERT_TRUE(pacer.slower());
    ASSERT_EQ(pacer.period(), p);
  }
  EXPECT_TRUE(pacer.running());
  ASSERT_TRUE(ticks.come(ticks.count.load(), 2));
  EXPECT_FALSE(pacer.slower()) << "60 ms is the slowest";
  EXPECT_EQ(pacer.period(), 60);
  ASSERT_TRUE(ticks.come(ticks.count.load(), 2));

  // A period outside the bounds is brought back to the nearer one before the step.
  pacer.setPeriodUnchecked(75);
  EXPECT_TRUE(pacer.faster());
  EXPECT_EQ(pacer.period(), 59);
  pacer.setPeriodUnchecked(75);
  EXPECT_FALSE(pacer.slower());
  EXPECT_EQ(pacer.period(), 60);
  pacer.setPeriodUnchecked(3);
  EXPECT_FALSE(pacer.faster());
  EXPECT_EQ(pacer.period(), 10);
  pacer.setPeriodUnchecked(3);
  EXPECT_TRUE(pacer.slower());
  EXPECT_EQ(pacer.period(), 11);

  pacer.stop();
  EXPECT_FALSE(pacer.running());
  const int stopped = ticks.count.load();
  EXPECT_TRUE(pacer.slower());
  EXPECT_FALSE(pacer.running()) << "a stopped pacer's step starts no timer";
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(ticks.count.load(), stopped);
}

// The steps are virtual: a pacer that counts them sees the adaptation's.
struct CountingPacer : FramePacer {
  int fasterCalls = 0, slowerCalls = 0;
  bool faster() override {
    ++fasterCalls;
    return FramePacer::faster();
  }
  bool slower() override {
    ++slowerCalls;
    return FramePacer::slower();
  }
};

TEST(FramePacer, AdaptsOneStepAfterLongRunsOfAFullOrALowPool) {
  CountingPacer pacer;
  auto adapt = [&](int times, int ready) {
    for (int i = 0; i < times; ++i) pacer.adapt(ready);
  };
  // Five or more pictures waiting for more than 150 ticks: one step faster, then the count
  // starts again.
  adapt(150, 5);
  EXPECT_EQ(pacer.period(), 35);
  adapt(1, 8);
  EXPECT_EQ(pacer.period(), 34);
  adapt(150, 6);
  EXPECT_EQ(pacer.period(), 34);
  adapt(1, 5);
  EXPECT_EQ(pacer.period(), 33);
  // Fewer than five breaks the run; four is neither full nor low.
  adapt(150, 5);
  adapt(1, 4);
  adapt(150, 5);
  EXPECT_EQ(pacer.period(), 33);
  adapt(400, 4);
  EXPECT_EQ(pacer.period(), 33);
  EXPECT_EQ(pacer.fasterCalls, 2);
  EXPECT_EQ(pacer.slowerCalls, 0);
  // Three or fewer for more than 50 ticks: one step slower.
  adapt(50, 3);
  EXPECT_EQ(pacer.period(), 33);
  adapt(1, 0);
  EXPECT_EQ(pacer.period(), 34);
  adapt(50, 1);
  adapt(1, 4);
  adapt(50, 2);
  EXPECT_EQ(pacer.period(), 34) << "more than three breaks the run";
  adapt(1, 3);
  EXPECT_EQ(pacer.period(), 35);
  EXPECT_EQ(pacer.slowerCalls, 2);
  // At a bound the step is refused and the count starts again.
  pacer.setPeriodUnchecked(60);
  adapt(51 * 3, 0);
  EXPECT_EQ(pacer.period(), 60);
  EXPECT_EQ(pacer.slowerCalls, 5);
}

TEST(FrameStats, WindowsOfOneSecondFollowOneAnotherAlsoAfterAGap) {
  FrameStats stats;
  EXPECT_EQ(stats.count(704, 576, 1000, 5000), nullptr) << "the first frame opens the window";
  for (uint32_t t = 5040; t < 6000; t += 40) EXPECT_EQ(stats.count(704, 576, 1000, t), nullptr);
  const char* line = stats.count(704, 576, 1000, 6000);
  ASSERT_NE(line, nullptr);
  EXPECT_STREQ(line, "704x576, 25 fps, 200.00 kbps");
  // Three seconds without frames: each frame after the gap closes one window more, the first
  // holding the frame that opened it, until the windows have caught up with the clock.
  line = stats.count(704, 576, 500, 9100);
  ASSERT_NE(line, nullptr);
  EXPECT_STREQ(line, "704x576, 1 fps, 8.00 kbps");
  line = stats.count(704, 576, 500, 9140);
  ASSERT_NE(line, nullptr);
  EXPECT_STREQ(line, "704x576, 1 fps, 4.00 kbps");
  line = stats.count(704, 576, 500, 9180);
  ASSERT_NE(line, nullptr);
  EXPECT_STREQ(line, "704x576, 1 fps, 4.00 kbps");
  EXPECT_EQ(stats.count(704, 576, 500, 9220), nullptr) << "the window of 9000 to 10000 runs";
  line = stats.count(1280, 720, 500, 10000);
  ASSERT_NE(line, nullptr);
  EXPECT_STREQ(line, "1280x720, 2 fps, 8.00 kbps");
}

}  // namespace
}  // namespace corvane
