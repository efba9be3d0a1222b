#include "plat/audio.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "audio_queue.h"
#include "plat/bytes.h"
#include "plat/log.h"

namespace plat {
namespace {

AudioBackendKind kindFromEnv() {
  const char* v = std::getenv("TARNWICK_AUDIO");
  if (v && !std::strcmp(v, "null")) return AudioBackendKind::Null;
  if (v && !std::strcmp(v, "alsa")) return AudioBackendKind::Alsa;
  return AudioBackendKind::Auto;
}

std::atomic<int> g_kind{static_cast<int>(kindFromEnv())};

}  // namespace

uint32_t AudioFormat::blockAlign() const {
  uint32_t a = ((bitsPerSample + 7u) / 8u) * channels;
  return a ? a : 1;
}
uint32_t AudioFormat::bytesPerSecond() const { return blockAlign() * samplesPerSecond; }
bool AudioFormat::valid() const {
  return (bitsPerSample == 8 || bitsPerSample == 16) && (channels == 1 || channels == 2) &&
         samplesPerSecond >= 1 && samplesPerSecond <= 192000;
}

void setAudioBackend(AudioBackendKind kind) { g_kind.store(static_cast<int>(kind)); }
AudioBackendKind audioBackend() { return static_cast<AudioBackendKind>(g_kind.load()); }

std::unique_ptr<AudioOutput> AudioOutput::open(const AudioFormat& format) {
  if (!format.valid()) return nullptr;
  AudioBackendKind kind = audioBackend();
  if (kind != AudioBackendKind::Null) {
    if (auto dev = audio_detail::openAlsaOutput(format)) return dev;
    if (kind == AudioBackendKind::Alsa) return nullptr;
    PLAT_LOGI("audio", "no sound output device; playing to the null device");
  }
  return std::make_unique<NullAudioOutput>(format);
}

std::unique_ptr<AudioInput> AudioInput::open(const AudioFormat& format, size_t blockBytes,
                                             BlockCallback callback) {
  if (!format.valid() || blockBytes == 0 || blockBytes % format.blockAlign()) return nullptr;
  AudioBackendKind kind = audioBackend();
  if (kind != AudioBackendKind::Null) {
    if (auto dev = audio_detail::openAlsaInput(format, blockBytes, callback)) return dev;
    if (kind == AudioBackendKind::Alsa) return nullptr;
    PLAT_LOGI("audio", "no sound capture device; capturing from the null device");
  }
  return std::make_unique<NullAudioInput>(format, blockBytes, std::move(callback));
}

namespace audio_detail {

bool ByteRing::push(const void* data, size_t bytes) {
  if (bytes > buf_.size() - size_) return false;
  if (bytes == 0) return true;
  const auto* p = static_cast<const uint8_t*>(data);
  size_t tail = (head_ + size_) % buf_.size();
  size_t first = std::min(bytes, buf_.size() - tail);
  std::memcpy(buf_.data() + tail, p, first);
  std::memcpy(buf_.data(), p + first, bytes - first);
  size_ += bytes;
  return true;
}

size_t ByteRing::pop(void* out, size_t maxBytes) {
  size_t n = std::min(maxBytes, size_);
  if (n == 0) return 0;
  auto* o = static_cast<uint8_t*>(out);
  size_t first = std::min(n, buf_.size() - head_);
  std::memcpy(o, buf_.data() + head_, first);
  std::memcpy(o + first, buf_.data(), n - first);
  head_ = (head_ + n) % buf_.size();
  size_ -= n;
  return n;
}

size_t queueCapacity(const AudioFormat& format) {
  size_t perSecond = format.bytesPerSecond();
  return perSecond - perSecond % format.blockAlign();
}

void applyVolume(uint8_t* data, size_t bytes, const AudioFormat& format, uint32_t volume) {
  if (volume == kFullVolume) return;
  const uint32_t gain[2] = {volume & 0xFFFFu, volume >> 16};
  const size_t align = format.blockAlign();
  const size_t bytesPerSample = format.bitsPerSample / 8;
  for (size_t frame = 0; frame + align <= bytes; frame += align) {
    for (size_t ch = 0; ch < format.channels; ++ch) {
      uint8_t* s = data + frame + ch * bytesPerSample;
      int64_t g = gain[format.channels == 1 ? 0 : ch];
      if (bytesPerSample == 2) {
        const int16_t out = static_cast<int16_t>(getLeS16(s) * g / 0xFFFF);
        putLe16(s, static_cast<uint16_t>(out));
      } else {
        int v = static_cast<int>(s[0]) - 128;
        s[0] = static_cast<uint8_t>(v * g / 0xFFFF + 128);
      }
    }
  }
}

}  // namespace audio_detail
}  // namespace plat
