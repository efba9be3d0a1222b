#pragma once
// The emulator's own reading and writing of the camera's messages (little-endian, field by
// field), independent of the client library.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "peerbytes/le.h"

namespace camemu {

constexpr uint16_t kMagic = 0xE0AF;
constexpr size_t kHeaderSize = 12;
constexpr size_t kMessageSize = 544;
constexpr size_t kPayloadSize = kMessageSize - kHeaderSize;
constexpr uint16_t kServerFull = 0xFFFF;

constexpr uint16_t kChanControl = 0xFF01;
constexpr uint16_t kChanVideo = 0xFF02;
constexpr uint16_t kChanAudio = 0xFF03;
constexpr uint16_t kChanAlarm = 0xFF04;
constexpr uint16_t kChanTalk = 0xFF06;
constexpr uint16_t kChanFirmware = 0xFF07;
constexpr uint16_t kChanPlayback = 0xFF08;
constexpr uint16_t kChanDownload = 0xFF09;
constexpr uint16_t kChanSearch = 0xFF0A;

// The open request: payload length, the argument of the fixed kinds, the video option.
constexpr uint16_t kOpenPayloadLength = 44;
constexpr uint16_t kOpenArgument = 0x101;
constexpr uint16_t kWholeFrameOption = 1;

constexpr uint16_t kKeepAlive = 0x0103;
constexpr uint16_t kFirmwareUpload = 0x2101;

using Bytes = std::array<uint8_t, kMessageSize>;

using peerbytes::get16;
using peerbytes::get32;
using peerbytes::put16;
using peerbytes::put32;

struct Header {
  uint16_t magic = kMagic, code = 0, argument = 0, length = 0, status = 0, option = 0;
  static Header parse(const uint8_t* p) {
    return Header{get16(p), get16(p + 2), get16(p + 4), get16(p + 6), get16(p + 8), get16(p + 10)};
  }
  void put(uint8_t* p) const {
    put16(p, magic);
    put16(p + 2, code);
    put16(p + 4, argument);
    put16(p + 6, length);
    put16(p + 8, status);
    put16(p + 10, option);
  }
};

inline Bytes message(uint16_t code, uint16_t status, const std::vector<uint8_t>& payload = {}) {
  Bytes m{};
  Header h;
  h.code = code;
  h.status = status;
  h.length = static_cast<uint16_t>(payload.size() < kPayloadSize ? payload.size() : kPayloadSize);
  h.put(m.data());
  if (h.length > 0) std::memcpy(m.data() + kHeaderSize, payload.data(), h.length);
  return m;
}

}  // namespace camemu
