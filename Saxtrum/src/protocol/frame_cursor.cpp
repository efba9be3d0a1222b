#include "protocol/frame_cursor.h"

#include <algorithm>
#include <cstring>

#include "plat/bytes.h"

namespace saxtrum {

namespace {

constexpr uint32_t kFrameMagic = 0x314D5246;  // "FRM1"
constexpr uint8_t kKindVideo = 1;
constexpr uint8_t kFlagKey = 1;
// Anything larger than a frame may be is no header: the cursor looks for the next one.
constexpr uint32_t kMaxFramePayload = 2u << 20;

}  // namespace

void FrameCursor::Reset() { *this = FrameCursor{}; }

FrameCursor::KeyStart FrameCursor::Feed(const uint8_t* data, size_t n) {
  KeyStart key;
  const uint64_t packetStart = position_;
  size_t i = 0;
  while (i < n) {
    if (skip_ > 0) {
      const size_t take = static_cast<size_t>(std::min<uint64_t>(skip_, n - i));
      skip_ -= take;
      i += take;
      continue;
    }
    if (headLen_ == 0) headStart_ = packetStart + i;
    const size_t take = std::min(kHeaderSize - headLen_, n - i);
    std::memcpy(head_.data() + headLen_, data + i, take);
    headLen_ += take;
    i += take;
    if (headLen_ < kHeaderSize) break;
    const uint32_t length = plat::getLe32(head_.data() + 12);
    if (plat::getLe32(head_.data()) != kFrameMagic || length > kMaxFramePayload) {
      // Not a header: the next byte may begin one.
      std::memmove(head_.data(), head_.data() + 1, kHeaderSize - 1);
      headLen_ = kHeaderSize - 1;
      ++headStart_;
      continue;
    }
    if (!key.found && head_[4] == kKindVideo && (head_[6] & kFlagKey)) {
      key.found = true;
      if (headStart_ >= packetStart) {
        key.offset = static_cast<size_t>(headStart_ - packetStart);
      } else {
        key.carried = static_cast<size_t>(packetStart - headStart_);
        std::memcpy(carried_.data(), head_.data(), key.carried);
      }
    }
    skip_ = length;
    headLen_ = 0;
  }
  position_ = packetStart + n;
  return key;
}

}  // namespace saxtrum
