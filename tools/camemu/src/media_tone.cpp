// A 440 Hz tone at 8 kHz in each audio type the client plays, encoded here on its own.
#include <cmath>

#include "media_state.h"

namespace camemu {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 8000;
constexpr double kTone = 440.0;

int16_t sample(uint32_t n) {
  return static_cast<int16_t>(8000.0 * std::sin(2 * kPi * kTone * n / kRate));
}

uint8_t muLaw(int16_t s) {
  constexpr int kBias = 0x84, kClip = 32635;
  int v = s;
  const int sign = v < 0 ? 0x80 : 0;
  if (v < 0) v = -v;
  if (v > kClip) v = kClip;
  v += kBias;
  int exponent = 7;
  for (int mask = 0x4000; (v & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
  const int mantissa = (v >> (exponent + 3)) & 0x0F;
  return static_cast<uint8_t>(~(sign | (exponent << 4) | mantissa));
}

const int kSteps[89] = {
    7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60,
    66, 73, 80, 88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371,
    408, 449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552, 1707,
    1878, 2066, 2272, 2499, 2749, 3024, 3327, 3660, 4026, 4428, 4871, 5358, 5894, 6484, 7132,
    7845, 8630, 9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623,
    27086, 29794, 32767};
const int kIndexAdjust[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

struct Ima {
  int predicted = 0;
  int index = 0;
  uint8_t encode(int16_t s) {
    const int step = kSteps[index];
    int diff = s - predicted;
    uint8_t code = 0;
    if (diff < 0) {
      code = 8;
      diff = -diff;
    }
    int delta = step >> 3;
    if (diff >= step) { code |= 4; diff -= step; delta += step; }
    if (diff >= step / 2) { code |= 2; diff -= step / 2; delta += step / 2; }
    if (diff >= step / 4) { code |= 1; delta += step / 4; }
    predicted += (code & 8) ? -delta : delta;
    if (predicted > 32767) predicted = 32767;
    if (predicted < -32768) predicted = -32768;
    index += kIndexAdjust[code & 7];
    if (index < 0) index = 0;
    if (index > 88) index = 88;
    return code;
  }
};

}  // namespace

std::vector<uint8_t> toneBlock(uint16_t type, uint32_t& phase) {
  std::vector<uint8_t> out;
  if (type == 10) {
    out.resize(kPacketDataSize);
    for (auto& b : out) b = muLaw(sample(phase++));
  } else if (type == 8) {
    // "ADPC", the predicted sample and step index that seed the decoder, then two codes a
    // byte, high nibble first. Every block starts afresh.
    Ima ima;
    ima.predicted = sample(phase);
    out = {'A', 'D', 'P', 'C', 0, 0, 0, 0};
    put16(out.data() + 4, static_cast<uint16_t>(ima.predicted));
    while (out.size() < kPacketDataSize) {
      const uint8_t hi = ima.encode(sample(phase++));
      const uint8_t lo = ima.encode(sample(phase++));
      out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
  } else {
    out.resize(kPacketDataSize);
    for (size_t i = 0; i < out.size(); i += 2) put16(out.data() + i, static_cast<uint16_t>(sample(phase++)));
  }
  return out;
}

}  // namespace camemu
