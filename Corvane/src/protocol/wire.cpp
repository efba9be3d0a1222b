#include "protocol/wire.h"

#include <algorithm>
#include <cstring>

namespace corvane {

std::string getText(const uint8_t* p, size_t span) {
  size_t n = 0;
  while (n < span && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

void putText(uint8_t* p, size_t span, const std::string& text) {
  if (span == 0) return;
  std::memset(p, 0, span);
  std::memcpy(p, text.data(), std::min(text.size(), span - 1));
}

MsgHeader MsgHeader::read(const uint8_t* p) {
  MsgHeader h;
  h.magic = getU16(p);
  h.code = getU16(p + 2);
  h.argument = getU16(p + 4);
  h.length = getU16(p + 6);
  h.status = getU16(p + 8);
  h.option = getU16(p + 10);
  return h;
}

void MsgHeader::write(uint8_t* p) const {
  putU16(p, magic);
  putU16(p + 2, code);
  putU16(p + 4, argument);
  putU16(p + 6, length);
  putU16(p + 8, status);
  putU16(p + 10, option);
}

Message buildMessage(const MsgHeader& h, const void* payload, size_t payloadLen) {
  Message m{};
  h.write(m.data());
  if (payload && payloadLen > 0)
    std::memcpy(m.data() + kIpcMsgHeaderSize, payload, std::min(payloadLen, kIpcMsgPayloadSize));
  return m;
}

}  // namespace corvane
