#pragma once
// Reassembles packets from the bytes of one connection, however the reads split them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "protocol/packet.h"

namespace saxtrum {

class Framer {
 public:
  // Called for every whole packet; the payload stays valid during the call only.
  using Sink = std::function<void(const PacketHeader&, const uint8_t* payload)>;

  // False when a header is bad (wrong magic, payload above 40,000): the stream cannot be
  // resynchronised and the connection is to be given up; later bytes are not framed.
  bool feed(const uint8_t* data, size_t n, const Sink& sink);
  size_t held() const { return held_; }
  void reset() { held_ = 0; }

 private:
  std::array<uint8_t, kMaxPacket> buf_{};
  size_t held_ = 0;
};

}  // namespace saxtrum
