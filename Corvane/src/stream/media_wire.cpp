#include "stream/media_wire.h"

#include <algorithm>
#include <cstring>

#include "protocol/wire.h"
#include "video/frame_pool.h"

namespace corvane {

namespace {
// The bytes the layouts skip are not used: write() leaves them zero.
constexpr auto kFrameLayout = [](auto& h, auto visit) {
  visit(h.magic, 0);
  visit(h.status, 2);
  visit(h.stamp, 12);
  visit(h.length, 16);
  visit(h.one, 20);
  visit(h.length2, 24);
  visit(h.width, 28);
  visit(h.height, 30);
  visit(h.codec, 32);
  visit(h.keyFlag, 34);
  visit(h.seconds, 36);
  visit(h.microseconds, 40);
};
constexpr auto kPacketLayout = [](auto& h, auto visit) {
  visit(h.magic, 0);
  visit(h.status, 2);
  visit(h.stamp, 12);
  visit(h.length, 16);
  visit(h.packetLength, 22);
  visit(h.width, 24);
  visit(h.height, 26);
  visit(h.type, 28);
  visit(h.keyFlag, 30);
  visit(h.seconds, 32);
  visit(h.microseconds, 36);
};
}  // namespace

FrameHeader FrameHeader::read(const uint8_t* p) { return readFields<FrameHeader>(p, kFrameLayout); }

void FrameHeader::write(uint8_t* p) const {
  std::fill(p, p + kIpcFrameHeaderSize, uint8_t{0});
  writeFields(*this, p, kFrameLayout);
}

bool FrameHeader::wellFormed() const {
  return magic == kIpcMagic && one == 1 && length == length2;
}

PacketHeader PacketHeader::read(const uint8_t* p) { return readFields<PacketHeader>(p, kPacketLayout); }

void PacketHeader::write(uint8_t* p) const {
  std::fill(p, p + kIpcMediaPacketHeaderSize, uint8_t{0});
  writeFields(*this, p, kPacketLayout);
}

size_t packetDataBytes(uint32_t announced, size_t received) {
  const size_t arrived = received > kIpcMediaPacketHeaderSize
                             ? received - kIpcMediaPacketHeaderSize : 0;
  return std::min({static_cast<size_t>(announced), kIpcMediaPacketDataSize, arrived});
}

void writeAudioBlock(uint8_t* block, const PacketHeader& h, const uint8_t* packet, size_t n) {
  MediaBuffer mh;
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
