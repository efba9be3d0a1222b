#pragma once
// The sound of a local file: libavcodec decodes the audio packets, the audio device plays
// them as 16-bit PCM at a volume in hundredths of a decibel (0 loudest, -10000 silent).
#include <cstdint>
#include <memory>

#include "plat/audio.h"

struct AVCodecParameters;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace hollin::localplay {

constexpr long kSilentVolume = -10000;

// 16-bit linear level of a volume in hundredths of a decibel (0 = 0xFFFF, -10000 = 0).
uint16_t LinearLevel(long centiDb);

class AudioSink {
 public:
  // Null when the stream's codec cannot be decoded.
  static std::unique_ptr<AudioSink> Create(const AVCodecParameters* params);
  ~AudioSink();
  AudioSink(const AudioSink&) = delete;
  AudioSink& operator=(const AudioSink&) = delete;

  // Decodes one packet and queues its sound (nothing is queued while silent).
  void Play(const uint8_t* data, uint32_t length);
  void Flush();  // drops what waits, forgets the decoder's state
  void SetVolume(long centiDb);
  long Volume() const { return volume_; }
  // The device, once the first sound opened it (for tests).
  plat::AudioOutput* Output() const { return output_.get(); }

 private:
  AudioSink() = default;
  AVCodecContext* ctx_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  std::unique_ptr<plat::AudioOutput> output_;
  long volume_ = 0;
};

}  // namespace hollin::localplay
