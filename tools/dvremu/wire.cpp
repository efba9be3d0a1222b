#include "dvremu/wire.h"

#include <cstring>

namespace dvremu {

void writeHeader(const Header& h, uint8_t* out) {
  put32(out, h.magic);
  put32(out + 4, h.command);
  put32(out + 8, h.length);
  put32(out + 12, h.handle);
  put32(out + 16, h.status);
}

Header readHeader(const uint8_t* in) {
  return Header{get32(in), get32(in + 4), get32(in + 8), get32(in + 12), get32(in + 16)};
}

std::vector<uint8_t> packet(uint32_t command, uint32_t handle, uint32_t status,
                            const uint8_t* payload, size_t length) {
  std::vector<uint8_t> out(kHeaderBytes + length);
  writeHeader(Header{kMagic, command, static_cast<uint32_t>(length), handle, status}, out.data());
  if (length) std::memcpy(out.data() + kHeaderBytes, payload, length);
  return out;
}

}  // namespace dvremu
