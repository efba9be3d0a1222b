#pragma once
// The IMA ADPCM decoder of the cameras' audio type 8. A block starts with an 8-byte
// header ("ADPC", s16 predicted sample, u8 step index, u8 0) followed by 4-bit codes,
// two per byte, high nibble first. Only the first block's header seeds the decoder; later
// headers are skipped, the state carries on.
#include <cstdint>

namespace corvane {

constexpr int kAdpcmOpen = 0;
constexpr int kAdpcmDecode = 2;
constexpr int kAdpcmClose = 3;
constexpr int kAdpcmHeaderSize = 8;
constexpr int kAdpcmStateSize = 8;

struct AdpcmCodecBlock {
  uint8_t* state = nullptr;  // kAdpcmStateSize bytes, made by open
  const uint8_t* data = nullptr;
  int length = 0;
};
struct AdpcmOutputBlock {
  uint8_t* data = nullptr;
  int capacity = 0;  // bytes of room at data
  int length = 0;    // bytes written
};

// 1 on success; 0 for a missing block or state, a block shorter than its header, output
// that would not fit, or an unknown operation (the output length is then 0).
int AdpcmCodec(int operation, AdpcmCodecBlock* codec, AdpcmOutputBlock* output);

// The IMA step for one code, shared with tests' reference encoder.
int adpcmStep(int index);
int adpcmIndexAdjust(int code);

}  // namespace corvane
