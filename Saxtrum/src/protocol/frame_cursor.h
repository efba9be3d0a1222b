#pragma once
// Follows the frames of a recorder stream (16-byte frame headers and their payloads) across
// the packets that carry it, however the packets split them, so that saving a live view can
// begin where a key frame begins: a file that starts between two key frames opens with
// pictures no decoder can show.
#include <array>
#include <cstddef>
#include <cstdint>

namespace saxtrum {

class FrameCursor {
 public:
  static constexpr size_t kHeaderSize = 16;

  // Where the first key video frame whose header ends in this packet begins: `found`; its
  // header's first `carried` bytes came in earlier packets (they are in carriedBytes()) and
  // the rest starts at `offset` of this packet (0 when carried).
  struct KeyStart {
    bool found = false;
    size_t offset = 0;
    size_t carried = 0;
  };

  // Takes the next packet of the stream.
  KeyStart Feed(const uint8_t* data, size_t n);
  const uint8_t* carriedBytes() const { return carried_.data(); }
  // A new stream: the next byte begins a frame.
  void Reset();

 private:
  std::array<uint8_t, kHeaderSize> head_{};
  std::array<uint8_t, kHeaderSize> carried_{};
  size_t headLen_ = 0;
  uint64_t headStart_ = 0;  // stream position of head_[0]
  uint64_t position_ = 0;   // stream bytes taken so far
  uint64_t skip_ = 0;       // payload bytes of the current frame still to come
};

}  // namespace saxtrum
