#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "plat/clock.h"
#include "plat/event.h"
#include "plat/msgthread.h"
#include "plat/socket.h"
#include "support/Wait.h"

namespace {

struct Scaled : ::testing::Test {
  void SetUp() override { plat::setTimeScale(0.01); }
  void TearDown() override { plat::setTimeScale(1.0); }
};

using MessageThreadTest = Scaled;

TEST_F(MessageThreadTest, MessagePostedBeforeTheThreadRunsIsNotLost) {
  std::vector<uint32_t> seen;
  plat::MessageThread t("worker", [&] {
    plat::Message m;
    while (plat::getMessage(m, 10000)) {
      if (m.message == plat::WM_QUIT) break;
      seen.push_back(m.message);
    }
  });
  ASSERT_TRUE(t.post(plat::WM_USER + 1));
  ASSERT_TRUE(plat::postThreadMessage(t.id(), plat::WM_USER + 2));
  t.start();
  EXPECT_TRUE(t.stop(10000));
  EXPECT_EQ(seen, (std::vector<uint32_t>{plat::WM_USER + 1, plat::WM_USER + 2}));
}

TEST_F(MessageThreadTest, PostToAnEndedThreadFails) {
  plat::MessageThread t("short", [] {});
  plat::ThreadId id = t.id();
  t.start();
  t.stop();
  EXPECT_FALSE(plat::postThreadMessage(id, plat::WM_USER));
  EXPECT_FALSE(plat::postThreadMessage(0, plat::WM_USER));
}

TEST_F(MessageThreadTest, TimersFireIntoTheirOwnThreadsQueue) {
  std::atomic<int> ticksA{0}, ticksB{0}, foreign{0};
  auto body = [&](std::atomic<int>& mine, uintptr_t id) {
    return [&mine, &foreign, id] {
      plat::setThreadTimer(id, 1000);  // 10 ms at this scale
      plat::Message m;
      while (plat::getMessage(m, 100000)) {
        if (m.message == plat::WM_QUIT) break;
        if (m.message == plat::WM_TIMER) {
          if (m.wParam == id)
            ++mine;
          else
            ++foreign;
          if (mine >= 3) plat::killThreadTimer(id);
        }
      }
    };
  };
  plat::MessageThread a("a", body(ticksA, 7)), b("b", body(ticksB, 9));
  a.start();
  b.start();
  testsupport::Eventually([&] { return ticksA >= 3 && ticksB >= 3; });
  a.stop();
  b.stop();
  EXPECT_EQ(ticksA.load(), 3);
  EXPECT_EQ(ticksB.load(), 3);
  EXPECT_EQ(foreign.load(), 0);
}

TEST_F(MessageThreadTest, StopUnblocksAThreadWaitingOnASocket) {
  uint16_t port = 0;
  plat::Socket listener = plat::listenLoopback(0, &port);
  ASSERT_TRUE(listener.valid());
  plat::Socket client = plat::connectTcp("127.0.0.1", port, 5000);
  ASSERT_TRUE(client.valid());
  plat::Socket server = plat::acceptTimeout(listener, 5000);
  ASSERT_TRUE(server.valid());

  std::atomic<bool> returned{false};
  // The body ignores its queue and blocks in a long socket wait, as a receive thread does.
  plat::MessageThread t("receiver", [&] {
    char b;
    plat::recvSome(client.fd(), &b, 1, 1000000);
    returned = true;
  });
  t.start();
  plat::sleepMs(500);
  bool inTime = t.stop(1000, [&] { client.shutdownBoth(); });
  EXPECT_FALSE(inTime);  // it had to be unblocked
  EXPECT_TRUE(returned);
  EXPECT_FALSE(t.running());
}

TEST_F(MessageThreadTest, NeverStartedThreadStopsCleanly) {
  bool ran = false;
  {
    plat::MessageThread t("idle", [&] { ran = true; });
  }
  EXPECT_FALSE(ran);
}

TEST_F(MessageThreadTest, PeekDoesNotWait) {
  plat::attachThreadQueue();
  plat::Message m;
  EXPECT_FALSE(plat::peekMessage(m));
  plat::postThreadMessage(plat::currentThreadId(), plat::WM_USER + 5, 1, 2);
  ASSERT_TRUE(plat::peekMessage(m));
  EXPECT_EQ(m.message, plat::WM_USER + 5);
  EXPECT_EQ(m.wParam, 1u);
  EXPECT_EQ(m.lParam, 2);
  plat::detachThreadQueue();
  EXPECT_EQ(plat::currentThreadId(), 0u);
}

using EventTest = Scaled;

TEST_F(EventTest, AutoResetIsConsumedByOneWait) {
  plat::Event e(false, true);
  EXPECT_TRUE(e.wait(10));
  EXPECT_FALSE(e.wait(10));
  e.set();
  EXPECT_TRUE(e.wait(10));
}

TEST_F(EventTest, ManualResetReleasesAllWaitersUntilReset) {
  plat::Event e(true, false);
  std::atomic<int> woke{0};
  std::vector<std::thread> ts;
  for (int i = 0; i < 4; ++i) ts.emplace_back([&] { woke += e.wait(100000) ? 1 : 0; });
  e.set();
  for (auto& t : ts) t.join();
  EXPECT_EQ(woke.load(), 4);
  EXPECT_TRUE(e.wait(0));
  e.reset();
  EXPECT_FALSE(e.wait(10));
}

}  // namespace
