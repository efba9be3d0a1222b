#pragma once
// The wire records of live media and playback, read and written field by field: the 44-byte
// frame header ahead of each video frame and the 1,064-byte media packet of the audio, talk
// and playback connections.
#include <cstddef>
#include <cstdint>

#include "Corvane/stream.h"

namespace corvane {

constexpr uint16_t kStatusEnd = 0xFFFF;        // server full, end or failure
constexpr uint16_t kStatusPlaybackEnd = 0xFF01;
// Video codecs of a frame.
constexpr uint16_t kWireCodecMpeg4 = 1;
constexpr uint16_t kWireCodecH264 = 2;
// The key-frame flag as cameras send it: 0 marks a key frame.
constexpr uint16_t kKeyFrameFlag = 0;

// IpcFrameHeader
struct FrameHeader {
  uint16_t magic = 0;
  uint16_t status = 0;
  uint32_t stamp = 0;
  uint32_t length = 0;
  uint32_t one = 1;  // always 1
  uint32_t length2 = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t codec = 0;
  uint16_t keyFlag = 0;
  uint32_t seconds = 0;
  uint32_t microseconds = 0;

  static FrameHeader read(const uint8_t* p);
  void write(uint8_t* p) const;
  // Magic, the constant field and the two lengths agree.
  bool wellFormed() const;
};

// The 40-byte head of an IpcMediaPacket; its data follows at 40.
struct PacketHeader {
  uint16_t magic = 0;
  uint16_t status = 0;
  uint32_t stamp = 0;
  uint32_t length = 0;        // data length (playback: of the whole frame)
  uint16_t packetLength = 0;  // playback: the data in this packet
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t type = 0;          // audio type or video codec
  uint16_t keyFlag = 0;
  uint32_t seconds = 0;
  uint32_t microseconds = 0;

  static PacketHeader read(const uint8_t* p);
  void write(uint8_t* p) const;
};

// A media packet's usable data: the announced count cut to the data area and to the bytes
// that actually arrived (`received` counts the whole packet, header included).
size_t packetDataBytes(uint32_t announced, size_t received);

// Fills an audio block (media header, then the data) from a media packet whose usable data
// count is `n` (see packetDataBytes).
void writeAudioBlock(uint8_t* block, const PacketHeader& h, const uint8_t* packet, size_t n);

// Playback packets carry video (codecs 1 and 2) and audio blocks on one connection; the
// type field tells them apart.
bool isVideoCodec(uint16_t type);

}  // namespace corvane
