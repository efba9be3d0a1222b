#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "protocol/framer.h"
#include "protocol/packet.h"

using namespace saxtrum;

namespace {

std::vector<uint8_t> makePacket(uint32_t cmd, uint32_t handle, uint32_t status, size_t len,
                                uint32_t magic = kPacketMagic, uint32_t wireLen = UINT32_MAX) {
  std::vector<uint8_t> p(kHeaderSize + len);
  PacketHeader h;
  h.magic = magic;
  h.command = cmd;
  h.length = wireLen == UINT32_MAX ? static_cast<uint32_t>(len) : wireLen;
  h.handle = handle;
  h.status = status;
  encodeHeader(h, p.data());
  for (size_t i = 0; i < len; ++i) p[kHeaderSize + i] = static_cast<uint8_t>(i * 7);
  return p;
}

struct Seen {
  uint32_t cmd, len, handle, status;
  uint8_t last;
};

}  // namespace

TEST(DvrPacketHeader, FieldsSitAtTheirOffsetsLittleEndian) {
  EXPECT_EQ(kHeaderSize, 20u);
  EXPECT_EQ(kMaxPacket, 40020u);
  PacketHeader h;
  h.command = 0x01020304;
  h.length = 0x11223344;
  h.handle = (5u << 16) | 7u;
  h.status = 200;
  uint8_t b[kHeaderSize];
  encodeHeader(h, b);
  EXPECT_EQ(b[0], 0xF0);
  EXPECT_EQ(b[3], 0x0A);
  EXPECT_EQ(b[4], 0x04);
  EXPECT_EQ(b[7], 0x01);
  EXPECT_EQ(b[8], 0x44);
  EXPECT_EQ(b[12], 7);
  EXPECT_EQ(b[14], 5);
  EXPECT_EQ(b[16], 200);
  const PacketHeader d = decodeHeader(b);
  EXPECT_EQ(d.command, h.command);
  EXPECT_EQ(d.length, h.length);
  EXPECT_EQ(handleUser(d.handle), 5);
  EXPECT_EQ(handleSlot(d.handle), 7);
}

TEST(DvrPacketHeader, CommandTableAndHandles) {
  EXPECT_STREQ(commandName(0), "NET_HEART_BEAT");
  EXPECT_STREQ(commandName(37), "NET_ALARM");
  EXPECT_STREQ(commandName(38), "NET_GET_TIME");
  EXPECT_STREQ(commandName(40), "NET_SET_DECODER");
  EXPECT_STREQ(commandName(64), "NET_SET_HDCFG");
  EXPECT_STREQ(commandName(71), "NET_SET_ALARMOUTCFG");
  EXPECT_STREQ(commandName(72), "NET_GET_PTZCRUISE");
  EXPECT_STREQ(commandName(77), "NET_INVALID");
  EXPECT_EQ(commandName(78), nullptr);
  int gets = 0;
  for (uint32_t c = 38; c <= 71; ++c) {
    if (isConfigGet(c)) {
      ++gets;
      EXPECT_NE(std::string(commandName(c)).find("_GET_"), std::string::npos) << c;
    }
  }
  EXPECT_EQ(gets, 17);
  EXPECT_EQ(makeStreamHandle(3, 31), (3 << 16) | 31);
  EXPECT_EQ(makeStreamHandle(128, 0), -1);
  EXPECT_EQ(makeStreamHandle(0, 32), -1);
}

TEST(DvrFramer, SplitHeadersAndSeveralPacketsPerReadAreFramedExactly) {
  std::vector<uint8_t> stream;
  for (auto& p : {makePacket(1, 1, 200, 72), makePacket(26, 2, 200, 0), makePacket(3, 3, 200, 5000)})
    stream.insert(stream.end(), p.begin(), p.end());
  for (size_t step : {size_t(1), size_t(3), size_t(19), size_t(21), size_t(7000), stream.size()}) {
    Framer f;
    std::vector<Seen> seen;
    auto sink = [&](const PacketHeader& h, const uint8_t* p) {
      seen.push_back({h.command, h.length, h.handle, h.status, h.length ? p[h.length - 1] : uint8_t(0)});
    };
    for (size_t at = 0; at < stream.size(); at += step)
      ASSERT_TRUE(f.feed(stream.data() + at, std::min(step, stream.size() - at), sink));
    ASSERT_EQ(seen.size(), 3u) << "step " << step;
    EXPECT_EQ(seen[0].cmd, 1u);
    EXPECT_EQ(seen[0].len, 72u);
    EXPECT_EQ(seen[0].last, static_cast<uint8_t>(71 * 7));
    EXPECT_EQ(seen[1].cmd, 26u);
    EXPECT_EQ(seen[1].len, 0u);  // an empty payload is dispatched too
    EXPECT_EQ(seen[2].len, 5000u);
    EXPECT_EQ(seen[2].last, static_cast<uint8_t>(4999 * 7));
    EXPECT_EQ(f.held(), 0u);
  }
}

TEST(DvrFramer, LargestPayloadAcceptedOneMoreOrBadMagicRefused) {
  Framer f;
  int seen = 0;
  auto sink = [&](const PacketHeader&, const uint8_t*) { ++seen; };
  auto max = makePacket(3, 0, 200, 40000);
  EXPECT_TRUE(f.feed(max.data(), max.size(), sink));
  EXPECT_EQ(seen, 1);

  // Each refusal is said on standard output, the header's fields as signed numbers.
  testing::internal::CaptureStdout();
  auto over = makePacket(3, 0, 200, 0, kPacketMagic, 40001);
  EXPECT_FALSE(f.feed(over.data(), over.size(), sink));
  Framer g;
  auto negative = makePacket(3, 0, 200, 0, kPacketMagic, 0x80000000u);  // negative on the device side
  EXPECT_FALSE(g.feed(negative.data(), negative.size(), sink));
  Framer m;
  auto bad = makePacket(3, 0, 200, 4, 0x0ABCDEF1);
  EXPECT_FALSE(m.feed(bad.data(), bad.size(), sink));
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "NetClient Copy err, beyond net buf,Header type=3,len=40001,check=180150000.\n"
            "NetClient Copy err, beyond net buf,Header type=3,len=-2147483648,check=180150000.\n"
            "NetClient Copy err, beyond net buf,Header type=3,len=4,check=180150001.\n");
}
