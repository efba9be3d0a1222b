// The camera emulator on its own, spoken to with raw bytes: channel opening, credentials,
// connection limits, unknown commands, bad requests, stopping with clients connected.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "camemu/camera.h"
#include "plat/clock.h"
#include "plat/socket.h"
#include "support/Wait.h"

namespace {

using Msg = std::array<uint8_t, 544>;

Msg msg(uint16_t magic, uint16_t code, uint16_t arg, const char* user = "admin",
        const char* pass = "admin") {
  Msg m{};
  auto put = [&](size_t at, uint16_t v) {
    m[at] = static_cast<uint8_t>(v);
    m[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  put(0, magic);
  put(2, code);
  put(4, arg);
  put(6, 44);
  std::strncpy(reinterpret_cast<char*>(m.data() + 12), user, 15);
  std::strncpy(reinterpret_cast<char*>(m.data() + 28), pass, 15);
  return m;
}

uint16_t u16(const Msg& m, size_t at) { return static_cast<uint16_t>(m[at] | m[at + 1] << 8); }

class CamEmu : public ::testing::Test {
 protected:
  void SetUp() override { plat::setTimeScale(0.2); }
  void TearDown() override { plat::setTimeScale(1.0); }

  plat::Socket connect(const camemu::Camera& cam) {
    return plat::connectTcp("127.0.0.1", cam.port(), testsupport::ProductMsLasting());
  }
  // Sends m and reads one whole reply; false when the camera closed instead.
  bool ask(const plat::Socket& s, const Msg& m, Msg& reply) {
    if (!plat::sendAll(s.fd(), m.data(), m.size())) return false;
    return plat::recvAll(s.fd(), reply.data(), reply.size(), testsupport::ProductMsLasting()) ==
           reply.size();
  }
};

}  // namespace

TEST_F(CamEmu, OpensControlAndAnswersKeepAliveAndUnknownCommands) {
  camemu::Camera cam;
  ASSERT_TRUE(cam.start());
  plat::Socket s = connect(cam);
  Msg r{};
  ASSERT_TRUE(ask(s, msg(0xE0AF, 0xFF01, 0x101), r));
  EXPECT_EQ(u16(r, 0), 0xE0AF);
  EXPECT_EQ(u16(r, 2), 0xFF01);
  EXPECT_EQ(u16(r, 8), 1);
  ASSERT_TRUE(ask(s, msg(0xE0AF, 0x0103, 0), r));
  EXPECT_EQ(u16(r, 2), 0x0104);
  EXPECT_EQ(u16(r, 8), 1);
  ASSERT_TRUE(ask(s, msg(0xE0AF, 0x7777, 0), r));
  EXPECT_EQ(u16(r, 2), 0x7778);
  EXPECT_EQ(u16(r, 8), 2);
  EXPECT_EQ(cam.received(0x7777), 1u);
  EXPECT_EQ(cam.opens(0xFF01), 1u);
}

TEST_F(CamEmu, RefusesBadCredentialsUnservedKindsAndBadMagic) {
  camemu::Camera cam;
  ASSERT_TRUE(cam.start());
  Msg r{};
  {
    plat::Socket s = connect(cam);
    ASSERT_TRUE(ask(s, msg(0xE0AF, 0xFF01, 0x101, "admin", "nope"), r));
    EXPECT_EQ(u16(r, 2), 0xFF01);
    EXPECT_EQ(u16(r, 8), 0);
  }
  {
    plat::Socket s = connect(cam);
    ASSERT_TRUE(ask(s, msg(0xE0AF, 0xFF0B, 0), r));  // no such channel
    EXPECT_EQ(u16(r, 8), 0);
  }
  {
    plat::Socket s = connect(cam);
    EXPECT_FALSE(ask(s, msg(0x1234, 0xFF01, 0x101), r));  // closed without a reply
  }
  EXPECT_EQ(cam.connections(0xFF01), 0);
}

TEST_F(CamEmu, ConnectionLimitAnswersServerFullUntilASlotFrees) {
  camemu::Config cfg;
  cfg.controlLimit = 1;
  camemu::Camera cam(cfg);
  ASSERT_TRUE(cam.start());
  Msg r{};
  plat::Socket first = connect(cam);
  ASSERT_TRUE(ask(first, msg(0xE0AF, 0xFF01, 0x101), r));
  ASSERT_EQ(u16(r, 8), 1);
  {
    plat::Socket second = connect(cam);
    ASSERT_TRUE(ask(second, msg(0xE0AF, 0xFF01, 0x101), r));
    EXPECT_EQ(u16(r, 2), 0xFFFF);
  }
  first.close();
  ASSERT_TRUE(cam.waitUntil([&] { return cam.connections(0xFF01) == 0; }));
  plat::Socket third = connect(cam);
  ASSERT_TRUE(ask(third, msg(0xE0AF, 0xFF01, 0x101), r));
  EXPECT_EQ(u16(r, 8), 1);
}

TEST_F(CamEmu, StopsWithClientsConnectedAndRecordsSurviveSets) {
  camemu::Camera cam;
  ASSERT_TRUE(cam.start());
  plat::Socket a = connect(cam);
  plat::Socket b = connect(cam);
  Msg r{};
  ASSERT_TRUE(ask(a, msg(0xE0AF, 0xFF01, 0x101), r));
  ASSERT_TRUE(ask(b, msg(0xE0AF, 0xFF04, 0x101), r));
  Msg set = msg(0xE0AF, 0x0405, 0);
  set[12] = 0;
  set[16] = 99;  // brightness
  ASSERT_TRUE(ask(a, set, r));
  EXPECT_EQ(u16(r, 2), 0x0406);
  EXPECT_EQ(cam.record(0x0407)[4], 99);
  ASSERT_TRUE(ask(a, msg(0xE0AF, 0x0407, 0), r));
  EXPECT_EQ(r[16], 99);
  cam.stop();  // returns with both clients still connected
  EXPECT_EQ(plat::recvAll(a.fd(), r.data(), r.size(), testsupport::ProductMsLasting()), 0u);
}
