#pragma once
// The one home of little-endian field access for the libraries, sdk/ and the program: fields of
// wire and file records (and the sound samples inside them) are read and written byte by byte at
// their offsets, never by copying a struct's memory, so neither the host's byte order nor its
// alignment reaches a record. Inline: the codecs and the media framing call these per sample and
// per header.
#include <cstdint>

namespace plat {

inline uint16_t getLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t getLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
// Two's-complement fields (sound samples, signed counts and types).
inline int16_t getLeS16(const uint8_t* p) { return static_cast<int16_t>(getLe16(p)); }
inline int32_t getLeS32(const uint8_t* p) { return static_cast<int32_t>(getLe32(p)); }

// A signed value is written through its unsigned twin: putLe16(p, uint16_t(sample)).
inline void putLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace plat
