#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "plat/clock.h"
#include "plat/window.h"

namespace {

struct WindowTest : ::testing::Test {
  void SetUp() override { plat::setTimeScale(0.01); }
  void TearDown() override { plat::setTimeScale(1.0); }
};

TEST_F(WindowTest, PostIsDeliveredOnTheOwnerThreadInOrder) {
  auto d = std::make_shared<plat::QueueDispatcher>();
  std::vector<uint32_t> got;
  std::thread::id where;
  plat::WindowHandle h = plat::registerWindow(
      [&](uint32_t m, uintptr_t, intptr_t) {
        got.push_back(m);
        where = std::this_thread::get_id();
        return intptr_t{0};
      },
      d);
  std::thread other([&] {
    plat::postMessage(h, 0x401);
    plat::postMessage(h, 0x402);
  });
  other.join();
  EXPECT_TRUE(got.empty());  // nothing runs until the owner pumps
  d->pump(0);
  EXPECT_EQ(got, (std::vector<uint32_t>{0x401, 0x402}));
  EXPECT_EQ(where, std::this_thread::get_id());
  plat::unregisterWindow(h);
}

TEST_F(WindowTest, PostToAGoneWindowIsHarmless) {
  auto d = std::make_shared<plat::QueueDispatcher>();
  int calls = 0;
  plat::WindowHandle h = plat::registerWindow(
      [&](uint32_t, uintptr_t, intptr_t) { return intptr_t(++calls); }, d);
  EXPECT_TRUE(plat::postMessage(h, 0x400));
  plat::unregisterWindow(h);  // gone before the queued message is handled
  d->pump(0);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(plat::postMessage(h, 0x400));
  EXPECT_FALSE(plat::isWindow(h));
  bool delivered = true;
  EXPECT_EQ(plat::sendMessage(h, 0x400, 0, 0, 100, &delivered), 0);
  EXPECT_FALSE(delivered);
}

TEST_F(WindowTest, SendIsDirectOnTheOwnerAndWaitsFromOtherThreads) {
  auto d = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle h = plat::registerWindow(
      [](uint32_t, uintptr_t w, intptr_t l) { return static_cast<intptr_t>(w) + l; }, d);
  EXPECT_EQ(plat::sendMessage(h, 0x400, 2, 3), 5);  // owner thread: no pump needed

  std::atomic<intptr_t> result{0};
  std::atomic<bool> delivered{false};
  std::thread worker([&] {
    bool ok = false;
    result = plat::sendMessage(h, 0x400, 20, 22, 100000, &ok);
    delivered = ok;
  });
  while (!delivered) d->pump(10);
  worker.join();
  EXPECT_EQ(result.load(), 42);
  plat::unregisterWindow(h);
}

TEST_F(WindowTest, SendFromAnotherThreadTimesOutWhenTheOwnerIsBusy) {
  auto d = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle h =
      plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{1}; }, d);
  bool delivered = true;
  intptr_t r = 0;
  std::thread worker([&] { r = plat::sendMessage(h, 0x400, 0, 0, 500, &delivered); });
  worker.join();  // the owner never pumps: the sender must come back by itself
  EXPECT_FALSE(delivered);
  EXPECT_EQ(r, 0);
  d->pump(0);  // the late message is dropped harmlessly
  plat::unregisterWindow(h);
}

TEST_F(WindowTest, TimedOutSendNeverRunsLaterWithTheSendersArguments) {
  auto d = std::make_shared<plat::QueueDispatcher>();
  int calls = 0;
  int seen = 0;
  plat::WindowHandle h = plat::registerWindow(
      [&](uint32_t, uintptr_t, intptr_t l) {
        ++calls;
        seen = *reinterpret_cast<int*>(l);  // the sender's record
        return intptr_t{1};
      },
      d);
  std::thread worker([&] {
    auto record = std::make_unique<int>(7);  // gone once the send gave up
    bool delivered = true;
    EXPECT_EQ(plat::sendMessage(h, 0x400, 0, reinterpret_cast<intptr_t>(record.get()), 200,
                                &delivered),
              0);
    EXPECT_FALSE(delivered);
  });
  worker.join();
  d->pump(0);  // the owner gets round to its queue only now
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(seen, 0);
  plat::unregisterWindow(h);
}

TEST_F(WindowTest, PostedPayloadGoesBackWhenTheWindowNeverTakesIt) {
  std::vector<intptr_t> back;
  auto giveBack = [&](uint32_t, uintptr_t, intptr_t l) { back.push_back(l); };
  std::vector<intptr_t> handled;
  auto proc = [&](uint32_t, uintptr_t, intptr_t l) {
    handled.push_back(l);
    return intptr_t{0};
  };
  auto d = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle h = plat::registerWindow(proc, d);
  EXPECT_TRUE(plat::postMessage(h, 0x400, 0, 1, giveBack));  // delivered
  d->pump(0);
  EXPECT_TRUE(plat::postMessage(h, 0x400, 0, 2, giveBack));
  plat::unregisterWindow(h);  // gone before its turn
  d->pump(0);
  EXPECT_FALSE(plat::postMessage(h, 0x400, 0, 3, giveBack));  // gone at the post

  auto doomed = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle h2 = plat::registerWindow(proc, doomed);
  EXPECT_TRUE(plat::postMessage(h2, 0x400, 0, 4, giveBack));
  doomed.reset();  // its queue is dropped unpumped (shut-down)
  plat::unregisterWindow(h2);

  EXPECT_EQ(handled, (std::vector<intptr_t>{1}));
  EXPECT_EQ(back, (std::vector<intptr_t>{2, 3, 4}));
}

TEST_F(WindowTest, WindowDataLivesWithTheWindow) {
  auto d = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle h =
      plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; }, d);
  auto data = std::make_shared<int>(7);
  std::weak_ptr<int> weak = data;
  plat::setWindowData(h, 1, data);
  data.reset();
  ASSERT_TRUE(plat::windowData(h, 1));
  EXPECT_EQ(*std::static_pointer_cast<int>(plat::windowData(h, 1)), 7);
  EXPECT_FALSE(plat::windowData(h, 2));
  plat::unregisterWindow(h);
  EXPECT_TRUE(weak.expired());
  EXPECT_FALSE(plat::windowData(h, 1));
}

}  // namespace
