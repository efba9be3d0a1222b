// Media buffer pools and the frame pacer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>
#include <thread>
#include <vector>

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

TEST(PicturePool, PicturesAreBoundedByTheCountAndComeBackWhenTheLastReferenceGoes) {
  auto pool = std::make_unique<PicturePool>(3);
  PictureSlot* a = pool->takeFree();
  PictureSlot* b = pool->takeFree();
  PictureSlot* c = pool->takeFree();
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(pool->takeFree(), nullptr);
  EXPECT_EQ(pool->takeFreeWait(1), nullptr) << "a full pool makes no more";
  for (PictureSlot* s : {a, b, c}) ASSERT_NE(s->copyInto(64, 32), nullptr);
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

// The live decode-and-show loop replayed on a clock of its own: frames come at the times
// given, the decode thread spends `decodeMs` on each, takes the picture through the pacer's
// turn (the frames waiting behind it standing for the pictures behind it; a dropped picture
// is let go and the next frame decoded) and spends `drawMs` on each shown. Times in
// milliseconds.
struct Replay {
  struct Shown {
    int index;
    int64_t at;
    int64_t latency;
    int64_t presentedAt = 0;
  };
  std::vector<int64_t> arrivals;  // in order
  int decodeMs = 2;
  std::function<int(int)> drawMs = [](int) { return 3; };
  // When the window's GUI thread paints (in order); none: each picture is painted as it is
  // presented.
  std::vector<int64_t> paints;
  std::vector<Shown> shown;
  int dropped = 0;
  int mostWaiting = 0;  // behind the picture shown, when it is shown

  void run() {
    FramePacer pacer;
    struct Turn {
      Replay& r;
      int64_t now = 0;
      size_t next = 0;  // the first picture not taken yet
      int inHand = -1;
      bool droppedInHand = false;
      int64_t nowMs() const { return now; }
      int waiting() const {
        int n = 0;
        for (size_t i = next; i < r.arrivals.size() && r.arrivals[i] <= now; ++i) ++n;
        return n;
      }
      void dropOldest() { droppedInHand = true; }
      bool wait(int ms) {
        now += ms;
        return true;
      }
      bool painted(int ms) {
        if (r.shown.empty()) return true;
        const int64_t paint = r.paintOf(r.shown.back().presentedAt);
        if (paint > now) now = std::min(now + ms, paint);
        return paint <= now;
      }
    } turn{*this};
    while (turn.next < arrivals.size()) {
      turn.now = std::max(turn.now, arrivals[turn.next]);  // waits for the next picture
      turn.inHand = static_cast<int>(turn.next++);
      turn.now += decodeMs;
      turn.droppedInHand = false;
      ASSERT_TRUE(paceLive(pacer, turn));
      if (turn.droppedInHand) {
        ++dropped;
        continue;
      }
      mostWaiting = std::max(mostWaiting, turn.waiting());
      shown.push_back({turn.inHand, turn.now, turn.now - arrivals[size_t(turn.inHand)]});
      turn.now += drawMs(turn.inHand);
      shown.back().presentedAt = turn.now;
      // The pictures' own times: 40 ms apart, as the camera stamps them.
      pacer.shown(turn.now, static_cast<uint32_t>(turn.inHand * 40));
    }
  }
  // The first paint at or after `t`.
  int64_t paintOf(int64_t t) const {
    if (paints.empty()) return t;
    auto it = std::lower_bound(paints.begin(), paints.end(), t);
    return it == paints.end() ? INT64_MAX : *it;
  }
  // Pictures presented over before the window painted them: never seen.
  int unpainted() const {
    int n = 0;
    for (size_t i = 0; i + 1 < shown.size(); ++i) n += paintOf(shown[i].presentedAt) >= shown[i + 1].presentedAt;
    return n;
  }
  int64_t latestLatency(size_t from, size_t to) const {
    int64_t most = 0;
    for (size_t i = from; i < to && i < shown.size(); ++i) most = std::max(most, shown[i].latency);
    return most;
  }
};

TEST(FramePacer, LiveLatencyStaysLowAndSteadyAndEveryPictureOfASteadyStreamIsShown) {
  // Two minutes of 25 pictures a second, each up to 6 ms late, some in pairs.
  Replay r;
  for (int i = 0; i < 25 * 120; ++i) r.arrivals.push_back(i * 40 + (i * 7919 % 7) + (i % 50 == 0 ? 39 : 0));
  std::sort(r.arrivals.begin(), r.arrivals.end());
  r.run();
  EXPECT_EQ(r.dropped, 0);
  ASSERT_EQ(r.shown.size(), r.arrivals.size());
  // A picture waits at most the spacing after the one before it, a minute in as at first.
  const int64_t early = r.latestLatency(0, 250), late = r.latestLatency(r.shown.size() - 1500, r.shown.size());
  EXPECT_LE(early, 25);
  EXPECT_LE(late, 25);
  // Pictures that came together are spread: the window can paint each.
  for (size_t i = 1; i < r.shown.size(); ++i) ASSERT_GE(r.shown[i].at - r.shown[i - 1].at, 15) << i;
}

TEST(FramePacer, LiveWaitsForTheWindowToPaintSoABusyGuiThreadLosesNoPicture) {
  // A minute of 25 pictures a second into a window whose GUI thread paints every 16 ms,
  // but is busy for 80 ms every second.
  Replay r;
  for (int i = 0; i < 25 * 60; ++i) r.arrivals.push_back(i * 40 + (i * 7919 % 7));
  for (int64_t t = 0; t < 62000; t += 16)
    if (t % 1000 >= 80) r.paints.push_back(t);
  r.run();
  ASSERT_EQ(r.shown.size(), r.arrivals.size());
  EXPECT_EQ(r.dropped, 0);
  EXPECT_EQ(r.unpainted(), 0) << "each picture is painted before the next is presented";
  // Holding a picture for the paint costs at most the jitter allowance's intervals.
  EXPECT_LE(r.latestLatency(0, r.shown.size()), (FramePacer::kJitterPictures + 1) * 40);
  // A window that says it paints and never does holds one picture that long, then none.
  Replay never;
  for (int i = 0; i < 25 * 10; ++i) never.arrivals.push_back(i * 40);
  never.paints = {100000};
  never.run();
  EXPECT_EQ(never.dropped, 0);
  EXPECT_LE(never.latestLatency(0, never.shown.size()), (FramePacer::kJitterPictures + 1) * 40);
  EXPECT_LE(never.latestLatency(5, never.shown.size()), 25);
}

TEST(FramePacer, LiveBacklogBeyondTheJitterAllowanceIsDroppedAtOnce) {
  // The decode thread stalls for half a second at picture 100 (a busy machine), and the
  // pictures keep coming.
  Replay r;
  for (int i = 0; i < 25 * 20; ++i) r.arrivals.push_back(i * 40);
  r.drawMs = [](int index) { return index == 100 ? 500 : 3; };
  r.run();
  // The dozen pictures that came meanwhile are not shown late one by one: all but the
  // allowance go at once, and latency is back to a frame's worth within a few pictures.
  EXPECT_GE(r.dropped, 8);
  EXPECT_LE(r.mostWaiting, FramePacer::kJitterPictures);
  size_t after = 0;
  while (after < r.shown.size() && r.shown[after].index <= 100) ++after;
  ASSERT_LT(after + 5, r.shown.size());
  EXPECT_LE(r.shown[after].latency, 120);
  EXPECT_LE(r.latestLatency(after + 5, r.shown.size()), 40);
  // The period follows the pictures' interval within 10 to 60 ms.
  FramePacer p;
  for (int i = 0; i < 100; ++i) p.shown(i * 40, static_cast<uint32_t>(i * 40));
  EXPECT_EQ(p.period(), 40);
  EXPECT_EQ(p.spacing(), 20);
  for (int i = 0; i < 100; ++i) p.shown(4000 + i * 5, static_cast<uint32_t>(4000 + i * 5));
  EXPECT_EQ(p.period(), FramePacer::kMinPeriod);
  p.shown(9000, 9000 + 5000);  // a pause of the stream, not its rate
  EXPECT_EQ(p.period(), FramePacer::kMinPeriod);
  for (int i = 1; i <= 100; ++i) p.shown(9000 + i * 100, static_cast<uint32_t>(14000 + i * 100));
  EXPECT_EQ(p.period(), FramePacer::kMaxPeriod);
}

}  // namespace
}  // namespace corvane
