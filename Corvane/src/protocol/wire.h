#pragma once
// The 12-byte message header and text fields, read and written field by field.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "Corvane/protocol.h"
#include "plat/bytes.h"

namespace corvane {

// A header described once as a table of its fields and their offsets, `layout(header, visit)`
// calling visit(field, offset) for each, is read and written from that one table, so the two
// directions cannot disagree on an offset.
inline void getField(const uint8_t* p, uint16_t& v) { v = plat::getLe16(p); }
inline void getField(const uint8_t* p, uint32_t& v) { v = plat::getLe32(p); }
inline void putField(uint8_t* p, uint16_t v) { plat::putLe16(p, v); }
inline void putField(uint8_t* p, uint32_t v) { plat::putLe32(p, v); }
template <class H, class Layout>
H readFields(const uint8_t* p, Layout layout) {
  H h;
  layout(h, [p](auto& v, size_t at) { getField(p + at, v); });
  return h;
}
template <class H, class Layout>
void writeFields(const H& h, uint8_t* p, Layout layout) {
  layout(h, [p](const auto& v, size_t at) { putField(p + at, v); });
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
