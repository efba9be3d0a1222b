#include "audio/adpcm.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "plat/bytes.h"

namespace corvane {
namespace {

constexpr int kStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kIndexTable[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

constexpr int kInitialisedFlag = 7;  // byte of the state: the first header was taken

int decode(AdpcmCodecBlock& c, AdpcmOutputBlock& out) {
  out.length = 0;
  if (!c.state || !c.data || c.length < kAdpcmHeaderSize || !out.data) return 0;
  const long bytes = (static_cast<long>(c.length) - kAdpcmHeaderSize) * 4;
  if (bytes > out.capacity) return 0;
  if (!c.state[kInitialisedFlag]) {
    std::memcpy(c.state, c.data, kAdpcmHeaderSize);
    c.state[kInitialisedFlag] = 1;
  }
  int predicted = plat::getLeS16(c.state + 4);
  int index = std::min<int>(c.state[6], 88);
  int step = kStepTable[index];
  uint8_t* o = out.data;
  for (int i = kAdpcmHeaderSize; i < c.length; ++i) {
    for (int code : {c.data[i] >> 4, c.data[i] & 0xF}) {
      index = std::clamp(index + adpcmIndexAdjust(code), 0, 88);
      int diff = step >> 1;
      if (code & 4) diff += step << 2;
      if (code & 2) diff += step << 1;
      if (code & 1) diff += step;
      diff >>= 2;
      predicted = std::clamp((code & 8) ? predicted - diff : predicted + diff, -32768, 32767);
      plat::putLe16(o, static_cast<uint16_t>(predicted));
      o += 2;
      step = kStepTable[index];
    }
  }
  plat::putLe16(c.state + 4, static_cast<uint16_t>(predicted));
  c.state[6] = static_cast<uint8_t>(index);
  out.length = static_cast<int>(bytes);
  return 1;
}

}  // namespace

int adpcmStep(int index) { return kStepTable[std::clamp(index, 0, 88)]; }
int adpcmIndexAdjust(int code) { return kIndexTable[code & 7]; }

int AdpcmCodec(int operation, AdpcmCodecBlock* codec, AdpcmOutputBlock* output) {
  if (!codec) return 0;
  switch (operation) {
    case kAdpcmOpen: {
      auto* st = new (std::nothrow) uint8_t[kAdpcmStateSize]();
      if (!st) return 0;
      std::memcpy(st, "ADPC", 4);
      codec->state = st;
      return 1;
    }
    case kAdpcmDecode:
      if (!output) return 0;
      return decode(*codec, *output);
    case kAdpcmClose:
      delete[] codec->state;
      codec->state = nullptr;
      return 1;
    default:
      if (output) output->length = 0;
      return 0;
  }
}

}  // namespace corvane
