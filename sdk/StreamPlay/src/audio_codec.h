#pragma once
// The audio codings of the stream format: G.711 mu-law and 16-bit PCM, 8 kHz mono.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace streamplay {

constexpr uint32_t kAudioRate = 8000;

int16_t mulawToLinear(uint8_t u);
uint8_t linearToMulaw(int16_t s);
// Decodes a block of the coding (AudioCodec) to 16-bit PCM; empty for an unknown coding.
std::vector<int16_t> decodeAudio(uint8_t codec, const uint8_t* data, size_t length);

}  // namespace streamplay
