#pragma once
// Internal to the audio backends: the bounded queue of waiting sound and the software
// volume. The queue is one ring allocated at open, so playing allocates nothing.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "plat/audio.h"

namespace plat::audio_detail {

class ByteRing {
 public:
  explicit ByteRing(size_t capacity) : buf_(capacity) {}
  // All or nothing: a block that does not fit is refused whole.
  bool push(const void* data, size_t bytes);
  // Takes up to maxBytes, oldest first; returns how many.
  size_t pop(void* out, size_t maxBytes);
  void clear() { head_ = size_ = 0; }
  size_t size() const { return size_; }
  size_t capacity() const { return buf_.size(); }

 private:
  std::vector<uint8_t> buf_;
  size_t head_ = 0;  // oldest byte
  size_t size_ = 0;
};

// About one second of the format: what may wait before newer blocks are dropped.
size_t queueCapacity(const AudioFormat& format);

// Scales PCM in place by a 16:16 volume (left low, right high; mono follows the left).
void applyVolume(uint8_t* data, size_t bytes, const AudioFormat& format, uint32_t volume);

// The sound-card backend; null when it is not built in or no device opens.
std::unique_ptr<AudioOutput> openAlsaOutput(const AudioFormat& format);
std::unique_ptr<AudioInput> openAlsaInput(const AudioFormat& format, size_t blockBytes,
                                          AudioInput::BlockCallback callback);

}  // namespace plat::audio_detail
