// The live media records at their offsets, their checks, and the clamps on lengths from the
// wire.
#include <gtest/gtest.h>

#include "Corvane.h"
#include "stream/media_wire.h"

namespace {

using namespace corvane;

TEST(StreamRecords, SizesAreTheWireSizes) {
  EXPECT_EQ(kIpcFrameHeaderSize, 44u);
  EXPECT_EQ(kIpcMediaPacketSize, 1064u);
  EXPECT_EQ(kIpcMediaPacketHeaderSize + kIpcMediaPacketDataSize, kIpcMediaPacketSize);
  EXPECT_EQ(kIpcMaxFrameBytes, 4u * 1024 * 1024);
  EXPECT_EQ(sizeof(IpcFileSearchCond), 144u);
  EXPECT_EQ(sizeof(IpcDownloadRequest), 132u);
  EXPECT_EQ(sizeof(IpcPlaybackRequest), 136u);
  EXPECT_EQ(kIpcFileRecordSize, 532u);
}

TEST(StreamRecords, FrameHeaderFieldsSitAtTheirOffsets) {
  FrameHeader h;
  h.magic = 0xE0AF;
  h.status = 0x0102;
  h.stamp = 0x03040506;
  h.length = h.length2 = 0x0708090A;
  h.width = 0x0B0C;
  h.height = 0x0D0E;
  h.codec = 2;
  h.keyFlag = 1;
  h.seconds = 0x11121314;
  h.microseconds = 0x15161718;
  uint8_t b[kIpcFrameHeaderSize];
  std::fill(b, b + sizeof b, 0xCC);
  h.write(b);
  const uint8_t want[kIpcFrameHeaderSize] = {
      0xAF, 0xE0, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x06, 0x05, 0x04, 0x03,
      0x0A, 0x09, 0x08, 0x07, 1, 0, 0, 0, 0x0A, 0x09, 0x08, 0x07, 0x0C, 0x0B, 0x0E, 0x0D,
      2, 0, 1, 0, 0x14, 0x13, 0x12, 0x11, 0x18, 0x17, 0x16, 0x15};
  EXPECT_TRUE(std::equal(b, b + sizeof b, want));
  const FrameHeader r = FrameHeader::read(want);
  EXPECT_EQ(r.stamp, h.stamp);
  EXPECT_EQ(r.width, h.width);
  EXPECT_EQ(r.microseconds, h.microseconds);
  EXPECT_TRUE(r.wellFormed());
}

TEST(StreamRecords, FrameHeaderChecksMagicFlagAndLengths) {
  FrameHeader h;
  h.magic = kIpcMagic;
  h.length = h.length2 = 100;
  EXPECT_TRUE(h.wellFormed());
  FrameHeader bad = h;
  bad.magic = 0xE0AE;
  EXPECT_FALSE(bad.wellFormed());
  bad = h;
  bad.one = 2;
  EXPECT_FALSE(bad.wellFormed());
  bad = h;
  bad.length2 = 101;
  EXPECT_FALSE(bad.wellFormed());
}

TEST(StreamRecords, PacketHeaderFieldsSitAtTheirOffsets) {
  PacketHeader h;
  h.magic = 0xE0AF;
  h.status = 0xFFFF;
  h.stamp = 0x01020304;
  h.length = 0x05060708;
  h.packetLength = 0x090A;
  h.width = 0x0B0C;
  h.height = 0x0D0E;
  h.type = 10;
  h.keyFlag = 1;
  h.seconds = 0x11121314;
  h.microseconds = 0x15161718;
  uint8_t b[kIpcMediaPacketHeaderSize];
  h.write(b);
  EXPECT_EQ(b[12], 0x04);
  EXPECT_EQ(b[16], 0x08);
  EXPECT_EQ(b[20], 0);  // not a field
  EXPECT_EQ(b[22], 0x0A);
  EXPECT_EQ(b[24], 0x0C);
  EXPECT_EQ(b[26], 0x0E);
  EXPECT_EQ(b[28], 10);
  EXPECT_EQ(b[30], 1);
  EXPECT_EQ(b[32], 0x14);
  EXPECT_EQ(b[36], 0x18);
  const PacketHeader r = PacketHeader::read(b);
  EXPECT_EQ(r.packetLength, h.packetLength);
  EXPECT_EQ(r.type, h.type);
  EXPECT_EQ(r.status, 0xFFFF);
}

TEST(StreamRecords, PacketDataIsCutToTheAreaAndToWhatArrived) {
  EXPECT_EQ(packetDataBytes(500, kIpcMediaPacketSize), 500u);
  EXPECT_EQ(packetDataBytes(5000, kIpcMediaPacketSize), 1024u);
  EXPECT_EQ(packetDataBytes(0xFFFFFFFF, kIpcMediaPacketSize), 1024u);
  EXPECT_EQ(packetDataBytes(500, 140), 100u);
  EXPECT_EQ(packetDataBytes(500, 40), 0u);
  EXPECT_EQ(packetDataBytes(500, 3), 0u);
  EXPECT_TRUE(isVideoCodec(1));
  EXPECT_TRUE(isVideoCodec(2));
  for (uint16_t t : {0, 6, 7, 8, 9, 10, 12}) EXPECT_FALSE(isVideoCodec(t)) << t;
}

}  // namespace
