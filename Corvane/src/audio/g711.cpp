#include "audio/g711.h"

#include <algorithm>
#include <new>

#include "Corvane/audio.h"
#include "plat/bytes.h"

namespace corvane::g711 {
namespace {

constexpr int kSegmentEnds[8] = {0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF, 0x3FFF, 0x7FFF};

int segmentOf(int value) {
  for (int seg = 0; seg < 8; ++seg)
    if (value <= kSegmentEnds[seg]) return seg;
  return 8;
}

}  // namespace

uint8_t alawEncode(int16_t sample) {
  int s = sample;
  int mask = 0xD5;
  if (s < 0) {
    // -1..-7 would go below zero here and wrap to the far end of the first segment.
    s = std::max(-s - 8, 0);
    mask = 0x55;
  }
  int seg = segmentOf(s);
  if (seg == 8) return static_cast<uint8_t>(0x7F ^ mask);
  int code = seg << 4;
  code |= (s >> (seg < 2 ? 4 : seg + 3)) & 0xF;
  return static_cast<uint8_t>(code ^ mask);
}

int16_t alawDecode(uint8_t code) {
  int a = code ^ 0x55;
  int t = (a & 0xF) << 4;
  int seg = (a & 0x70) >> 4;
  if (seg == 0)
    t += 8;
  else if (seg == 1)
    t += 0x108;
  else
    t = (t + 0x108) << (seg - 1);
  return static_cast<int16_t>((a & 0x80) ? t : -t);
}

uint8_t ulawEncode(int16_t sample) {
  int s = sample;
  int mask = 0xFF;
  if (s < 0) {
    s = 0x84 - s;
    mask = 0x7F;
  } else {
    s += 0x84;
  }
  int seg = segmentOf(s);
  if (seg == 8) return static_cast<uint8_t>(0x7F ^ mask);
  return static_cast<uint8_t>(((seg << 4) | ((s >> (seg + 3)) & 0xF)) ^ mask);
}

int16_t ulawDecode(uint8_t code) {
  int u = ~code;
  int t = (((u & 0xF) << 3) + 0x84) << ((u & 0x70) >> 4);
  return static_cast<int16_t>((code & 0x80) ? t - 0x84 : 0x84 - t);
}

}  // namespace corvane::g711

namespace {

// The state made by open: the two laws (i32 decode law, i32 encode law).
struct G7xState {
  int32_t decodeLaw;
  int32_t encodeLaw;
};
static_assert(sizeof(G7xState) == 8);

void lawsOf(const G7xCodecBlock& in, int& decodeLaw, int& encodeLaw) {
  if (in.state) {
    auto* st = static_cast<const G7xState*>(in.state);
    decodeLaw = st->decodeLaw;
    encodeLaw = st->encodeLaw;
  } else {
    decodeLaw = in.decodeLaw;
    encodeLaw = in.encodeLaw;
  }
}

int encode(const G7xCodecBlock& in, G7xOutputBlock& out) {
  int decodeLaw, encodeLaw;
  lawsOf(in, decodeLaw, encodeLaw);
  if (encodeLaw != G7X_LAW_A && encodeLaw != G7X_LAW_MU) return 1;  // nothing, length left
  out.length = 0;
  if (in.length <= 0 || !in.data || !out.data) return 1;
  const auto* src = static_cast<const uint8_t*>(in.data);
  auto* dst = static_cast<uint8_t*>(out.data);
  int samples = in.length / 2;
  for (int i = 0; i < samples; ++i) {
    int16_t s = plat::getLeS16(src + 2 * i);
    dst[i] = encodeLaw == G7X_LAW_A ? corvane::g711::alawEncode(s) : corvane::g711::ulawEncode(s);
  }
  out.length = samples;
  return 1;
}

int decode(const G7xCodecBlock& in, G7xOutputBlock& out) {
  int decodeLaw, encodeLaw;
  lawsOf(in, decodeLaw, encodeLaw);
  out.length = 0;
  if (decodeLaw != G7X_LAW_A && decodeLaw != G7X_LAW_MU) return 1;
  if (in.length <= 0 || !in.data || !out.data) return 1;
  const auto* src = static_cast<const uint8_t*>(in.data);
  auto* dst = static_cast<uint8_t*>(out.data);
  for (int i = 0; i < in.length; ++i) {
    int16_t s = decodeLaw == G7X_LAW_A ? corvane::g711::alawDecode(src[i])
                                       : corvane::g711::ulawDecode(src[i]);
    plat::putLe16(dst + 2 * i, static_cast<uint16_t>(s));
  }
  out.length = 2 * in.length;
  return 1;
}

}  // namespace

extern "C" int G7X_Encode(int operation, G7xCodecBlock* input, G7xOutputBlock* output) {
  if (!input) return 0;
  switch (operation) {
    case G7X_OPEN: {
      auto* st = new (std::nothrow) G7xState{input->decodeLaw, input->encodeLaw};
      if (!st) return 0;
      input->state = st;
      return 1;
    }
    case G7X_ENCODE:
      return output ? encode(*input, *output) : 0;
    case G7X_DECODE:
      return output ? decode(*input, *output) : 0;
    case G7X_CLOSE:
      delete static_cast<G7xState*>(input->state);
      input->state = nullptr;  // a second close must not free it again
      return 1;
    default:
      return 0;
  }
}
