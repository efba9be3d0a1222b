#include "audio/audio_device.h"

#include <algorithm>
#include <cstring>

#include "plat/log.h"

namespace corvane {

AudioDevice::AudioDevice(TalkSink owner)
    : playBuffers_(static_cast<size_t>(kPlayBuffers) * kPlayBufferBytes), owner_(std::move(owner)) {
  plat::AudioFormat format;  // 1 channel, 16 bits, 8,000 samples per second
  input_ = plat::AudioInput::open(format, kCaptureBlockBytes,
                                  [this](const uint8_t* d, size_t n) { CaptureCallback(d, n); });
  output_ = plat::AudioOutput::open(format);
  if (!input_) PLAT_LOGW("Corvane", "no sound capture device");
  if (!output_) PLAT_LOGW("Corvane", "no sound output device");
}

AudioDevice::~AudioDevice() {
  capturing_.store(0);
  if (input_) input_->reset();
  input_.reset();  // no capture callback runs past this point
  if (output_) output_->reset();
  output_.reset();
  if (adpcm_.state) AdpcmCodec(kAdpcmClose, &adpcm_, nullptr);
  if (g711_.state) G7X_Encode(G7X_CLOSE, &g711_, nullptr);
}

void AudioDevice::StartCapture() {
  capturing_.store(1);
  if (input_) input_->start();
}

void AudioDevice::StopCapture() {
  capturing_.store(0);
  if (input_) input_->reset();
}

void AudioDevice::CaptureCallback(const uint8_t* data, size_t bytes) {
  if (capturing_.load() != 1) return;
  if (owner_) owner_(data, static_cast<int>(bytes), captureSequence_++, kAudioPcm);
}

int AudioDevice::PlayAudio(const uint8_t* data, int length, int audioType) {
  if (!data || length <= 0) return 0;
  uint8_t* buffer = playBuffers_.data() + static_cast<size_t>(playPosition_) * kPlayBufferBytes;
  int bytes = 0;
  switch (audioType) {
    case kAudioPcm6:
    case kAudioPcm:
      // A block longer than a play buffer is cut to it, whole samples only.
      bytes = std::min(length, kPlayBufferBytes) & ~1;
      std::memcpy(buffer, data, static_cast<size_t>(bytes));
      break;
    case kAudioImaAdpcm: {
      if (!adpcm_.state && !AdpcmCodec(kAdpcmOpen, &adpcm_, nullptr)) return 0;
      adpcm_.data = data;
      adpcm_.length = length;
      AdpcmOutputBlock out{buffer, kPlayBufferBytes, 0};
      if (!AdpcmCodec(kAdpcmDecode, &adpcm_, &out)) return 0;
      bytes = out.length;
      break;
    }
    case kAudioG711Mu: {
      if (!g711_.state) {
        g711_.decodeLaw = G7X_LAW_MU;
        g711_.encodeLaw = 0;
        if (!G7X_Encode(G7X_OPEN, &g711_, nullptr)) return 0;
      }
      if (length > kPlayBufferBytes / 2) return 0;  // would not fit decoded
      g711_.data = data;
      g711_.length = length;
      G7xOutputBlock out{buffer, 0};
      G7X_Encode(G7X_DECODE, &g711_, &out);
      bytes = out.length;
      break;
    }
    default:
      return 0;
  }
  if (bytes <= 0 || !output_) return 0;
  bool played = output_->write(buffer, static_cast<size_t>(bytes));
  playPosition_ = (playPosition_ + 1) % kPlayBuffers;
  return played ? 1 : 0;
}

int AudioDevice::SetOutputVolume(uint32_t volume) {
  if (!output_) return 0;
  uint32_t v = volume > 0xFFFF ? 0xFFFF : volume;
  output_->setVolume(v | (v << 16));
  return 1;
}

uint32_t AudioDevice::GetOutputVolume() const { return output_ ? output_->volume() : 0; }

}  // namespace corvane
