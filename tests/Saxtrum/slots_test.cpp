// Request slots and dispatch on a connection fed by hand.
#include <gtest/gtest.h>

#include <thread>

#include "plat/clock.h"
#include "protocol/connection.h"

using namespace saxtrum;

namespace {

std::vector<uint8_t> reply(uint32_t cmd, int slot, uint32_t status, std::vector<uint8_t> payload = {}) {
  std::vector<uint8_t> p(kHeaderSize + payload.size());
  PacketHeader h;
  h.command = cmd;
  h.length = static_cast<uint32_t>(payload.size());
  h.handle = static_cast<uint32_t>(slot);
  h.status = status;
  encodeHeader(h, p.data());
  std::copy(payload.begin(), payload.end(), p.begin() + kHeaderSize);
  return p;
}

class DvrSlots : public ::testing::Test {
 protected:
  void SetUp() override { plat::setTimeScale(0.2); }
  void TearDown() override { plat::setTimeScale(1.0); }
  std::shared_ptr<DvrConnection> c = DvrConnection::createDetached(0);
  void feed(const std::vector<uint8_t>& b) { ASSERT_TRUE(c->receiveBytes(b.data(), b.size())); }
  // Marks a slot as waiting for the reply to a command, as a send does.
  void expectReply(int slot, uint32_t command) {
    c->withSlot(slot, [&](RequestSlot& s) {
      s.replied = false;
      s.lastCommand = command;
    });
  }
};

}  // namespace

TEST_F(DvrSlots, AllocationIsCyclicAndAReleasedSlotIsNextWhenAllWereBusy) {
  for (int i = 0; i < kSlotCount; ++i) EXPECT_EQ(c->allocSlot(), i);
  EXPECT_EQ(c->allocSlot(), -1);
  EXPECT_EQ(c->nextFree(), -1);
  EXPECT_EQ(c->releaseSlot(17), 0);
  EXPECT_EQ(c->releaseSlot(5), 0);  // 17 was recorded first
  EXPECT_EQ(c->allocSlot(), 17);
  EXPECT_EQ(c->allocSlot(), 5);
  EXPECT_EQ(c->allocSlot(), -1);
  EXPECT_EQ(c->releaseSlot(32), -1);
}

TEST_F(DvrSlots, ReplyWakesOnlyItsOwnSlotAndIdleSlotsDropPackets) {
  const int a = c->allocSlot(), b = c->allocSlot();
  expectReply(a, 26);
  expectReply(b, 26);
  // A reply for b, and one for an idle slot, leave a's waiter asleep.
  feed(reply(26, b, 200, std::vector<uint8_t>(20, 9)));
  feed(reply(26, 20, 200, std::vector<uint8_t>(20, 1)));
  EXPECT_EQ(c->waitSlot(a, 100), -1);
  EXPECT_EQ(c->waitSlot(b, 100), 0);
  EXPECT_EQ(c->withSlot(b, [](RequestSlot& s) { return s.videoParams[3]; }), 9);
  EXPECT_EQ(c->withSlot(20, [](RequestSlot& s) { return s.status; }), 0u);
}

TEST_F(DvrSlots, RepliesNeverCrossSlotsWithTwoWaitersInFlight) {
  const int a = c->allocSlot(), b = c->allocSlot();
  expectReply(a, 23);
  expectReply(b, 23);
  int ra = -2, rb = -2;
  std::thread ta([&] { ra = c->waitReplyOk(a); });
  std::thread tb([&] { rb = c->waitReplyOk(b); });
  feed(reply(23, b, 300));
  feed(reply(23, a, 200));
  ta.join();
  tb.join();
  EXPECT_EQ(ra, 1);
  EXPECT_EQ(rb, 0);
}

TEST_F(DvrSlots, LateReplyAfterTimeOutWakesNobodyAndLaterPacketsOfAStreamNeither) {
  const int a = c->allocSlot();
  expectReply(a, 23);
  EXPECT_EQ(c->waitSlot(a, 50), -1);
  feed(reply(23, a, 200));  // late
  EXPECT_EQ(c->withSlot(a, [](RequestSlot& s) { return s.status; }), 200u);  // kept, not waking
  // An answer to another command than the one last sent neither wakes nor sets the status.
  expectReply(a, 25);
  feed(reply(26, a, 300));
  EXPECT_EQ(c->waitSlot(a, 50), -1);
  EXPECT_EQ(c->withSlot(a, [](RequestSlot& s) { return s.status; }), 200u);
  // Live view: the first packet wakes (when asked to), later ones count only.
  const int live = c->allocSlot();
  expectReply(live, 3);
  feed(reply(3, live, 200));
  EXPECT_EQ(c->waitSlot(live, 100), 0);
  expectReply(live, 3);
  feed(reply(3, live, 200, {1, 2, 3}));
  EXPECT_EQ(c->waitSlot(live, 50), -1);
  EXPECT_EQ(c->withSlot(live, [](RequestSlot& s) { return s.packets; }), 2u);
  // With wake-on-first-packet cleared, the reply wakes nobody.
  const int quiet = c->allocSlot();
  c->withSlot(quiet, [](RequestSlot& s) { s.wakeOnFirst = false; });
  expectReply(quiet, 3);
  feed(reply(3, quiet, 200));
  EXPECT_EQ(c->waitSlot(quiet, 50), -1);
}

TEST_F(DvrSlots, ShortRepliesAreKeptWithoutStaleBytesAndTalkNeedsItsPrefix) {
  const int a = c->allocSlot();
  expectReply(a, 1);
  feed(reply(1, a, 200, std::vector<uint8_t>(72, 0xAA)));
  expectReply(a, 1);
  feed(reply(1, a, 200, std::vector<uint8_t>(10, 0x55)));
  auto r = c->withSlot(a, [](RequestSlot& s) { return s.loginReply; });
  EXPECT_EQ(r[9], 0x55);
  EXPECT_EQ(r[10], 0);
  EXPECT_EQ(r[71], 0);
  // Found-file batches are capped at the list's 40 records.
  expectReply(a, 15);
  feed(reply(15, a, 200, std::vector<uint8_t>(100 * 41, 1)));
  EXPECT_EQ(c->withSlot(a, [](RequestSlot& s) { return s.foundCount; }), 40u);
  // A talk packet shorter than its 12-byte prefix is ignored.
  c->withSlot(a, [](RequestSlot& s) { s.talk = true; s.packets = 0; });
  feed(reply(12, a, 200, std::vector<uint8_t>(8, 1)));
  EXPECT_EQ(c->withSlot(a, [](RequestSlot& s) { return s.packets; }), 0u);
}

TEST_F(DvrSlots, ExportedFileNameFromTheDeviceCannotLeaveTheFolder) {
  const int a = c->allocSlot();
  expectReply(a, 74);
  const std::string evil = "../../etc\\evil.cfg";
  feed(reply(74, a, 200, std::vector<uint8_t>(evil.begin(), evil.end())));
  EXPECT_EQ(c->withSlot(a, [](RequestSlot& s) { return s.path; }), "evil.cfg");
}

TEST(DvrConnectWait, ConnectTimeHasAFloorOf300ms) {
  EXPECT_EQ(connectWaitMs(100), 300);
  EXPECT_EQ(connectWaitMs(0), 300);
  EXPECT_EQ(connectWaitMs(2000), 2000);
  EXPECT_FALSE(connectWithTimeout(100, "127.0.0.1", 0, nullptr).valid());
  EXPECT_FALSE(connectWithTimeout(100, "localhost", 80, nullptr).valid());  // no name lookup
}
