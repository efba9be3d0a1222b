#pragma once
// The emulator's own reading and writing of the camera's messages (little-endian, field by
// field), independent of the client library.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

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

inline uint16_t rd16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t rd32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void wr16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

struct Header {
  uint16_t magic = kMagic, code = 0, argument = 0, length = 0, status = 0, option = 0;
  static Header parse(const uint8_t* p) {
    return Header{rd16(p), rd16(p + 2), rd16(p + 4), rd16(p + 6), rd16(p + 8), rd16(p + 10)};
  }
  void put(uint8_t* p) const {
    wr16(p, magic);
    wr16(p + 2, code);
    wr16(p + 4, argument);
    wr16(p + 6, length);
    wr16(p + 8, status);
    wr16(p + 10, option);
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
