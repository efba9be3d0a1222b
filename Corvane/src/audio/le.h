#pragma once
// Little-endian fields at byte offsets, for the library's sound and file records.
#include <cstdint>
#include <cstring>

namespace corvane::le {
inline uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t s16(const uint8_t* p) { return static_cast<int16_t>(u16(p)); }
inline uint32_t u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void putU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putS16(uint8_t* p, int16_t v) { putU16(p, static_cast<uint16_t>(v)); }
inline void putU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void putTag(uint8_t* p, const char* tag) { std::memcpy(p, tag, 4); }
}  // namespace corvane::le
