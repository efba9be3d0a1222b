#include "stream/media_wire.h"

#include <algorithm>
#include <cstring>

#include "protocol/wire.h"
#include "video/frame_pool.h"

namespace corvane {

FrameHeader FrameHeader::read(const uint8_t* p) {
  FrameHeader h;
  h.magic = getU16(p);
  h.status = getU16(p + 2);
  h.stamp = getU32(p + 12);
  h.length = getU32(p + 16);
  h.one = getU32(p + 20);
  h.length2 = getU32(p + 24);
  h.width = getU16(p + 28);
  h.height = getU16(p + 30);
  h.codec = getU16(p + 32);
  h.keyFlag = getU16(p + 34);
  h.seconds = getU32(p + 36);
  h.microseconds = getU32(p + 40);
  return h;
}

void FrameHeader::write(uint8_t* p) const {
  std::fill(p, p + kIpcFrameHeaderSize, uint8_t{0});
  putU16(p, magic);
  putU16(p + 2, status);
  putU32(p + 12, stamp);
  putU32(p + 16, length);
  putU32(p + 20, one);
  putU32(p + 24, length2);
  putU16(p + 28, width);
  putU16(p + 30, height);
  putU16(p + 32, codec);
  putU16(p + 34, keyFlag);
  putU32(p + 36, seconds);
  putU32(p + 40, microseconds);
}

bool FrameHeader::wellFormed() const {
  return magic == kIpcMagic && one == 1 && length == length2;
}

PacketHeader PacketHeader::read(const uint8_t* p) {
  PacketHeader h;
  h.magic = getU16(p);
  h.status = getU16(p + 2);
  h.stamp = getU32(p + 12);
  h.length = getU32(p + 16);
  h.packetLength = getU16(p + 22);
  h.width = getU16(p + 24);
  h.height = getU16(p + 26);
  h.type = getU16(p + 28);
  h.keyFlag = getU16(p + 30);
  h.seconds = getU32(p + 32);
  h.microseconds = getU32(p + 36);
  return h;
}

void PacketHeader::write(uint8_t* p) const {
  std::fill(p, p + kIpcMediaPacketHeaderSize, uint8_t{0});
  putU16(p, magic);
  putU16(p + 2, status);
  putU32(p + 12, stamp);
  putU32(p + 16, length);
  putU16(p + 22, packetLength);
  putU16(p + 24, width);
  putU16(p + 26, height);
  putU16(p + 28, type);
  putU16(p + 30, keyFlag);
  putU32(p + 32, seconds);
  putU32(p + 36, microseconds);
}

size_t packetDataBytes(uint32_t announced, size_t received) {
  const size_t arrived = received > kIpcMediaPacketHeaderSize
                             ? received - kIpcMediaPacketHeaderSize : 0;
  return std::min({static_cast<size_t>(announced), kIpcMediaPacketDataSize, arrived});
}

void writeAudioBlock(uint8_t* block, const PacketHeader& h, const uint8_t* packet, size_t n) {
  MediaHeader mh;
  mh.stamp = h.stamp;
  mh.length = static_cast<uint32_t>(n);
  mh.codec = h.type;
  mh.seconds = h.seconds;
  mh.microseconds = h.microseconds;
  mh.write(block);
  std::memcpy(block + kMediaHeaderSize, packet + kIpcMediaPacketHeaderSize, n);
}

bool isVideoCodec(uint16_t type) { return type == kWireCodecMpeg4 || type == kWireCodecH264; }

}  // namespace corvane
