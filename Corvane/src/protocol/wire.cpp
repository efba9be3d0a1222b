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

namespace {
constexpr auto kMsgLayout = [](auto& h, auto visit) {
  visit(h.magic, 0);
  visit(h.code, 2);
  visit(h.argument, 4);
  visit(h.length, 6);
  visit(h.status, 8);
  visit(h.option, 10);
};
}  // namespace

MsgHeader MsgHeader::read(const uint8_t* p) { return readFields<MsgHeader>(p, kMsgLayout); }

void MsgHeader::write(uint8_t* p) const { writeFields(*this, p, kMsgLayout); }

Message buildMessage(const MsgHeader& h, const void* payload, size_t payloadLen) {
  Message m{};
  h.write(m.data());
  if (payload && payloadLen > 0)
    std::memcpy(m.data() + kIpcMsgHeaderSize, payload, std::min(payloadLen, kIpcMsgPayloadSize));
  return m;
}

}  // namespace corvane
