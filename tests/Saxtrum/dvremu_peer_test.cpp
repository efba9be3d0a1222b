// The recorder emulator as a peer, spoken to with raw packets: it must hold to the protocol
// on its own, so that a mistake of the client cannot hide behind it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dvremu/emulator.h"
#include "plat/clock.h"
#include "plat/socket.h"
#include "support/Wait.h"

namespace {

class DvrEmuPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::setTimeScale(0.2);
    ASSERT_TRUE(emu.start());
  }
  void TearDown() override {
    emu.stop();
    plat::setTimeScale(1.0);
  }

  plat::Socket connect() {
    return plat::connectTcp("127.0.0.1", emu.port(), testsupport::ProductMsLasting());
  }

  static std::vector<uint8_t> login() {
    std::vector<uint8_t> p(64, 0);
    std::memcpy(p.data(), "admin", 5);
    std::memcpy(p.data() + 32, "12345", 5);
    return p;
  }

  // Sends one request and reads one reply packet; its status, or 0 when none came whole.
  static uint32_t ask(const plat::Socket& s, uint32_t command, uint32_t handle,
                      const std::vector<uint8_t>& payload, std::vector<uint8_t>* replyPayload = nullptr) {
    const auto bytes = dvremu::packet(command, handle, 0, payload.data(), payload.size());
    if (!plat::sendAll(s.fd(), bytes.data(), bytes.size())) return 0;
    uint8_t head[dvremu::kHeaderBytes];
    if (plat::recvAll(s.fd(), head, sizeof head, testsupport::ProductMsLasting()) != sizeof head)
      return 0;
    const dvremu::Header h = dvremu::readHeader(head);
    std::vector<uint8_t> body(h.length);
    if (h.length &&
        plat::recvAll(s.fd(), body.data(), h.length, testsupport::ProductMsLasting()) != h.length)
      return 0;
    if (replyPayload) *replyPayload = body;
    return h.command == command && h.handle == handle ? h.status : 0;
  }

  // Bounded: until the emulator counts `n` open connections.
  bool waitConnections(int n) {
    return testsupport::Eventually([&] { return emu.connections() == n; });
  }

  dvremu::Emulator emu;
};

}  // namespace

TEST_F(DvrEmuPeer, ServesLoginAfterLoginOverItsWholeLife) {
  // Connections come and go: the recorder never runs out of them as long as they end.
  for (int i = 0; i < 80; ++i) {
    SCOPED_TRACE(i);
    plat::Socket s = connect();
    ASSERT_TRUE(s.valid());
    ASSERT_EQ(ask(s, 1, 0x10000u * static_cast<uint32_t>(i % 128), login()), dvremu::kOk);
    s.close();
    ASSERT_TRUE(waitConnections(0));
  }
}

TEST_F(DvrEmuPeer, ABadHeaderEndsTheConnection) {
  for (const bool badMagic : {true, false}) {
    SCOPED_TRACE(badMagic);
    plat::Socket s = connect();
    ASSERT_EQ(ask(s, 1, 0, login()), dvremu::kOk);
    uint8_t head[dvremu::kHeaderBytes];
    dvremu::writeHeader({badMagic ? 0x12345678u : dvremu::kMagic, 23,
                         badMagic ? 0u : dvremu::kMaxPayload + 1, 1, 0},
                        head);
    ASSERT_TRUE(plat::sendAll(s.fd(), head, sizeof head));
    // The recorder gives the connection up and the client sees its end (not a silence).
    uint8_t byte = 0;
    EXPECT_EQ(plat::recvSome(s.fd(), &byte, 1, 60000), -1);
  }
}

TEST_F(DvrEmuPeer, RefusesRequestsOfTheWrongSize) {
  plat::Socket s = connect();
  ASSERT_EQ(ask(s, 1, 0, login()), dvremu::kOk);
  auto zeros = [](size_t n) { return std::vector<uint8_t>(n, 0); };
  auto config = [](uint32_t code, size_t record) {
    std::vector<uint8_t> p(4 + record, 0);
    dvremu::put32(p.data(), code);
    return p;
  };
  struct Case {
    uint32_t command;
    std::vector<uint8_t> right, wrong;
  } cases[] = {
      {3, zeros(12), zeros(8)},                      // live view
      {13, zeros(100), zeros(96)},                   // file information
      {18, zeros(32), zeros(28)},                    // PTZ
      {25, zeros(20), zeros(16)},                    // video parameters
      {28, zeros(8), zeros(4)},                      // alarm output
      {32, zeros(4420), zeros(4416)},                // log query
      {23, {}, zeros(4)},                            // reboot
      {38, config(38, 24), config(38, 28)},          // time read
      {63, config(63, 132), config(63, 128)},        // device write
  };
  uint32_t slot = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(ask(s, c.command, slot++, c.wrong), dvremu::kFail);
    // A live view answers with its stream; a file that does not exist is refused anyway.
    if (c.command == 3 || c.command == 13) continue;
    EXPECT_EQ(ask(s, c.command, slot++, c.right), dvremu::kOk);
  }
  // The live-view record: channel index 0..15, then the window, then the sub-stream bit.
  std::vector<uint8_t> view(12, 0);
  view[0] = 16;
  EXPECT_EQ(ask(s, 3, 30, view), dvremu::kFail);
  view[0] = 0;
  view[11] = 0x80;  // the whole link mode instead of its bit
  EXPECT_EQ(ask(s, 3, 31, view), dvremu::kFail);
  // A transfer's header is 264 bytes and its chunks at most 20,480.
  std::vector<uint8_t> header(264, 0);
  std::memcpy(header.data(), "cfg.bin", 7);
  EXPECT_EQ(ask(s, 75, 20, zeros(260)), dvremu::kFail);
  EXPECT_EQ(ask(s, 75, 21, header), dvremu::kOk);
  EXPECT_EQ(ask(s, 75, 21, zeros(20481)), dvremu::kFail);
  EXPECT_EQ(ask(s, 75, 21, zeros(10)), dvremu::kOk);
  const auto transfers = emu.services().transfers();
  ASSERT_EQ(transfers.size(), 1u);
  EXPECT_EQ(transfers[0].bytes.size(), 10u);
  EXPECT_TRUE(transfers[0].complete);
}
