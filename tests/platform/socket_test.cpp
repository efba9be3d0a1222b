#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "plat/clock.h"
#include "plat/socket.h"

namespace {

struct SocketTest : ::testing::Test {
  void SetUp() override { plat::setTimeScale(0.01); }
  void TearDown() override { plat::setTimeScale(1.0); }
};

struct Pair {
  plat::Socket listener, client, server;
  uint16_t port = 0;
  Pair() {
    listener = plat::listenLoopback(0, &port);
    client = plat::connectTcp("127.0.0.1", port, 5000);
    server = plat::acceptTimeout(listener, 5000);
  }
};

TEST_F(SocketTest, ConnectToAFullBacklogTimesOut) {
  // A listener that never accepts, with its backlog filled, leaves later connects pending.
  uint16_t port = 0;
  plat::Socket listener = plat::listenLoopback(0, &port, 0);
  ASSERT_TRUE(listener.valid());
  std::vector<plat::Socket> fill;
  int err = 0;
  bool timedOut = false;
  for (int i = 0; i < 64 && !timedOut; ++i) {
    plat::Socket s = plat::connectTcp("127.0.0.1", port, 200, &err);
    if (!s.valid()) timedOut = err == ETIMEDOUT;
    fill.push_back(std::move(s));
  }
  EXPECT_TRUE(timedOut);
}

TEST_F(SocketTest, ConnectToNothingFailsAtOnce) {
  uint16_t port = 0;
  { plat::listenLoopback(0, &port); }  // bound then closed: nobody listens
  int err = 0;
  plat::Socket s = plat::connectTcp("127.0.0.1", port, 5000, &err);
  EXPECT_FALSE(s.valid());
  EXPECT_EQ(err, ECONNREFUSED);
}

TEST_F(SocketTest, RecvAllCollectsASplitMessageAndDrainDiscardsStaleBytes) {
  Pair p;
  ASSERT_TRUE(p.server.valid());
  std::thread writer([&] {
    plat::sendAll(p.server.fd(), "hel", 3);
    plat::sleepMs(200);
    plat::sendAll(p.server.fd(), "lo", 2);
  });
  char buf[5];
  EXPECT_EQ(plat::recvAll(p.client.fd(), buf, 5, 5000), 5u);
  writer.join();
  EXPECT_EQ(std::string(buf, 5), "hello");

  plat::sendAll(p.server.fd(), "stale", 5);
  ASSERT_EQ(plat::waitReadable(p.client.fd(), 5000), plat::WaitResult::Ready);
  EXPECT_EQ(plat::drain(p.client.fd()), 5u);
  EXPECT_EQ(plat::waitReadable(p.client.fd(), 10), plat::WaitResult::Timeout);
}

TEST_F(SocketTest, RecvAllReportsAShortReadOnClose) {
  Pair p;
  plat::sendAll(p.server.fd(), "abc", 3);
  p.server.close();
  char buf[8];
  EXPECT_EQ(plat::recvAll(p.client.fd(), buf, 8, 5000), 3u);
}

TEST_F(SocketTest, WakeFdEndsAWaitAndShutdownEndsARead) {
  Pair p;
  plat::WakeFd wake;
  std::thread t([&] { plat::sleepMs(100); wake.signal(); });
  EXPECT_EQ(plat::waitReadable(p.client.fd(), 1000000, &wake), plat::WaitResult::Woken);
  t.join();

  std::thread s([&] { plat::sleepMs(100); p.client.shutdownBoth(); });
  char b;
  EXPECT_EQ(plat::recvSome(p.client.fd(), &b, 1, 1000000), -1);
  s.join();
}

TEST_F(SocketTest, SendToAClosedPeerFailsWithoutSignal) {
  Pair p;
  p.server.close();
  std::vector<char> big(1 << 20, 'x');
  bool ok = true;
  for (int i = 0; i < 8 && ok; ++i) ok = plat::sendAll(p.client.fd(), big.data(), big.size(), 500);
  EXPECT_FALSE(ok);  // and the process is still alive: no SIGPIPE
}

TEST_F(SocketTest, ResolvesNamesAndRejectsGarbage) {
  uint32_t a = 0;
  EXPECT_TRUE(plat::resolveIPv4("127.0.0.1", a));
  EXPECT_EQ(a, 0x0100007Fu);
  EXPECT_TRUE(plat::resolveIPv4("localhost", a));
  EXPECT_FALSE(plat::resolveIPv4("no such host.invalid", a));
  // Every address as dotted text; none for a name that cannot be one.
  EXPECT_EQ(plat::resolveIPv4All("127.0.0.1"), std::vector<std::string>{"127.0.0.1"});
  const std::vector<std::string> local = plat::resolveIPv4All("localhost");
  EXPECT_NE(std::find(local.begin(), local.end(), "127.0.0.1"), local.end());
  EXPECT_TRUE(plat::resolveIPv4All("no such host.invalid").empty());
}

}  // namespace
