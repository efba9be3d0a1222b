#include "protocol/framer.h"

#include <cstdio>
#include <cstring>

namespace saxtrum {

bool Framer::feed(const uint8_t* data, size_t n, const Sink& sink) {
  size_t pos = 0;
  while (held_ + (n - pos) >= kHeaderSize) {
    if (held_ < kHeaderSize) {
      const size_t need = kHeaderSize - held_;
      std::memcpy(buf_.data() + held_, data + pos, need);
      held_ += need;
      pos += need;
    }
    const PacketHeader h = decodeHeader(buf_.data());
    if (!headerValid(h)) {
      std::printf("NetClient Copy err, beyond net buf,Header type=%d,len=%d,check=%d.\n",
                  static_cast<int>(h.command), static_cast<int>(h.length),
                  static_cast<int>(h.magic));
      held_ = 0;
      return false;
    }
    const size_t total = kHeaderSize + h.length;
    const size_t need = total - held_;
    if (n - pos < need) {
      std::memcpy(buf_.data() + held_, data + pos, n - pos);
      held_ += n - pos;
      return true;
    }
    std::memcpy(buf_.data() + held_, data + pos, need);
    pos += need;
    held_ = 0;
    sink(h, buf_.data() + kHeaderSize);
  }
  std::memcpy(buf_.data() + held_, data + pos, n - pos);
  held_ += n - pos;
  return true;
}

}  // namespace saxtrum
