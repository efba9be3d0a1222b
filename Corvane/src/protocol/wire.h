#pragma once
// Little-endian field access and the 12-byte message header, read and written field by field.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "Corvane/protocol.h"

namespace corvane {

inline void putU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint16_t getU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t getU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A zero-terminated text inside a fixed span (the whole span when no zero is found).
std::string getText(const uint8_t* p, size_t span);
// Writes at most span-1 bytes and zero-fills the rest of the span.
void putText(uint8_t* p, size_t span, const std::string& text);

// IpcMsgHeader
struct MsgHeader {
  uint16_t magic = kIpcMagic;
  uint16_t code = 0;
  uint16_t argument = 0;
  uint16_t length = 0;
  uint16_t status = 0;
  uint16_t option = 0;

  static MsgHeader read(const uint8_t* p);
  void write(uint8_t* p) const;
};

using Message = std::array<uint8_t, kIpcMsgSize>;

// A 544-byte message: header, payload (cut to 532 bytes) at 12, zeros beyond.
Message buildMessage(const MsgHeader& h, const void* payload, size_t payloadLen);

}  // namespace corvane
