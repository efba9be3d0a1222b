// The camera emulator holds the client to the fixed fields of the protocol, spoken to with
// raw messages: a client that got one of them wrong must fail against it.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "camemu/camera.h"
#include "camemu/media.h"
#include "plat/clock.h"
#include "plat/socket.h"
#include "support/TestFolder.h"
#include "support/Wait.h"

namespace {

using Msg = std::array<uint8_t, 544>;

void put16(Msg& m, size_t at, uint16_t v) {
  m[at] = static_cast<uint8_t>(v);
  m[at + 1] = static_cast<uint8_t>(v >> 8);
}
uint16_t get16(const Msg& m, size_t at) { return static_cast<uint16_t>(m[at] | m[at + 1] << 8); }

Msg message(uint16_t code, uint16_t argument, uint16_t length, uint16_t option = 0,
            uint16_t magic = 0xE0AF) {
  Msg m{};
  put16(m, 0, magic);
  put16(m, 2, code);
  put16(m, 4, argument);
  put16(m, 6, length);
  put16(m, 10, option);
  return m;
}

Msg open(uint16_t code, uint16_t argument, uint16_t option, uint16_t length = 44) {
  Msg m = message(code, argument, length, option);
  std::memcpy(m.data() + 12, "admin", 5);
  std::memcpy(m.data() + 28, "admin", 5);
  return m;
}

class CamEmuProtocol : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::setTimeScale(0.2);
    ASSERT_TRUE(cam.start());
  }
  void TearDown() override {
    cam.stop();
    plat::setTimeScale(1.0);
  }

  plat::Socket connect() {
    return plat::connectTcp("127.0.0.1", cam.port(), testsupport::ProductMsLasting());
  }
  // Sends m and reads one whole message back; false when the camera closed instead.
  static bool ask(const plat::Socket& s, const Msg& m, Msg& reply) {
    return plat::sendAll(s.fd(), m.data(), m.size()) &&
           plat::recvAll(s.fd(), reply.data(), reply.size(), testsupport::ProductMsLasting()) ==
               reply.size();
  }
  // The status of the open reply to m.
  int openStatus(const Msg& m) {
    plat::Socket s = connect();
    Msg r{};
    return ask(s, m, r) ? get16(r, 8) : -1;
  }

  camemu::Camera cam;
  camemu::Media media{cam};
};

}  // namespace

TEST_F(CamEmuProtocol, OpensNeedTheirLengthArgumentAndOption) {
  EXPECT_EQ(openStatus(open(0xFF01, 0x101, 0)), 1);
  EXPECT_EQ(openStatus(open(0xFF01, 0, 0)), 0);           // control argument is 0x101
  EXPECT_EQ(openStatus(open(0xFF04, 0x101, 0, 40)), 0);   // payload length is 44
  EXPECT_EQ(openStatus(open(0xFF07, 0x101, 1)), 0);       // no option on firmware
  EXPECT_EQ(openStatus(open(0xFF02, 1, 0)), 0);           // video is whole-frame mode only
  EXPECT_EQ(openStatus(open(0xFF03, 1, 1)), 0);           // audio takes no option
  EXPECT_EQ(openStatus(open(0xFF0A, 1, 0)), 0);           // file channels take argument 0
  EXPECT_EQ(openStatus(open(0xFF0A, 0, 0)), 1);
  EXPECT_EQ(cam.connections(0xFF02), 0);
}

TEST_F(CamEmuProtocol, AControlMessageWithAWrongMagicEndsTheConnection) {
  plat::Socket s = connect();
  Msg r{};
  ASSERT_TRUE(ask(s, open(0xFF01, 0x101, 0), r));
  ASSERT_TRUE(ask(s, message(0x0403, 0, 0), r));
  EXPECT_EQ(get16(r, 2), 0x0404);
  ASSERT_TRUE(plat::sendAll(s.fd(), message(0x0403, 0, 0, 0, 0xAFE0).data(), 544));
  uint8_t byte = 0;
  EXPECT_EQ(plat::recvSome(s.fd(), &byte, 1, 60000), -1);  // closed, never answered
}

TEST_F(CamEmuProtocol, FileRequestsNeedTheirRecordLength) {
  camemu::StoredFile f;
  f.name = "a.264";
  f.bytes.assign(100, 7);
  media.setFiles({f});
  auto request = [&](uint16_t channel, uint16_t code, uint16_t length) {
    plat::Socket s = connect();
    Msg r{};
    if (!ask(s, open(channel, 0, 0), r) || get16(r, 8) != 1) return -1;
    Msg m = message(code, 0, length);
    std::memcpy(m.data() + 12 + 4, "a.264", 5);  // the download names the file at 4
    return ask(s, m, r) ? static_cast<int>(get16(r, 8)) : -1;
  };
  EXPECT_EQ(request(0xFF0A, 0x5101, 144), 1);
  EXPECT_EQ(request(0xFF0A, 0x5101, 0), 0);
  EXPECT_EQ(request(0xFF09, 0x5201, 132), 1);
  EXPECT_EQ(request(0xFF09, 0x5201, 136), 0);
}

TEST_F(CamEmuProtocol, AClipIndexPointingPastTheClipIsRefused) {
  const std::filesystem::path dir = std::filesystem::path(testsupport::TestFile("camemu_clip"));
  std::filesystem::create_directories(dir);
  const std::string clip = (dir / "c.264").string();
  std::ofstream(clip, std::ios::binary) << std::string(64, 'x');
  auto withIndex = [&](const std::string& line) {
    std::ofstream(clip + ".idx") << "# h264 352 288 25\n" << line << "\n";
    return media.loadClip(clip);
  };
  EXPECT_TRUE(withIndex("0 0 64 1"));
  EXPECT_FALSE(withIndex("0 8 57 1"));                    // one byte too far
  EXPECT_FALSE(withIndex("0 18446744073709551615 2 1"));  // the sum would wrap to 1
  std::filesystem::remove_all(dir);
}
