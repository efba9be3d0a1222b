#include "audio_codec.h"

#include "plat/bytes.h"
#include "stream_format.h"

namespace streamplay {

int16_t mulawToLinear(uint8_t u) {
  u = static_cast<uint8_t>(~u);
  const int sign = u & 0x80, exponent = (u >> 4) & 7, mantissa = u & 0x0F;
  int sample = ((mantissa << 3) + 0x84) << exponent;
  sample -= 0x84;
  return static_cast<int16_t>(sign ? -sample : sample);
}

uint8_t linearToMulaw(int16_t s) {
  constexpr int kBias = 0x84, kClip = 32635;
  int sample = s;
  const int sign = sample < 0 ? 0x80 : 0;
  if (sample < 0) sample = -sample;
  if (sample > kClip) sample = kClip;
  sample += kBias;
  int exponent = 7;
  for (int mask = 0x4000; (sample & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
  const int mantissa = (sample >> (exponent + 3)) & 0x0F;
  return static_cast<uint8_t>(~(sign | exponent << 4 | mantissa));
}

std::vector<int16_t> decodeAudio(uint8_t codec, const uint8_t* data, size_t length) {
  std::vector<int16_t> out;
  if (codec == kAudioMulaw) {
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) out.push_back(mulawToLinear(data[i]));
  } else if (codec == kAudioPcm16) {
    out.reserve(length / 2);
    for (size_t i = 0; i + 1 < length; i += 2)
      out.push_back(plat::getLeS16(data + i));
  }
  return out;
}

}  // namespace streamplay
