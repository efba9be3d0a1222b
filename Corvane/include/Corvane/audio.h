#pragma once
// Sound: the G.711 codec and the volume of a live stream's sound output.
#include <cstdint>

#include "Corvane/types.h"

// G7X_Encode operations and laws.
constexpr int G7X_OPEN = 0;
constexpr int G7X_ENCODE = 1;
constexpr int G7X_DECODE = 2;
constexpr int G7X_CLOSE = 3;
constexpr int G7X_LAW_A = 1;
constexpr int G7X_LAW_MU = 2;

// Input block: the state (written by open), the data and its length in bytes, the laws.
struct G7xCodecBlock {
  void* state;
  const void* data;
  int length;
  int decodeLaw;
  int encodeLaw;
};
// Output block: where to write, and the bytes written (set by encode and decode).
// Encode writes length / 2 bytes, decode 2 * length bytes: the caller provides the room.
struct G7xOutputBlock {
  void* data;
  int length;
};

extern "C" {
// 1 on success; 0 for an unknown operation, a missing block or a failed open.
int G7X_Encode(int operation, G7xCodecBlock* input, G7xOutputBlock* output);

// volume 0..0xFFFF (larger is taken as 0xFFFF) on both channels; 1 on success.
int IPC_SetVolume(IPC_HANDLE stream, uint32_t volume);
// Left channel in the low 16 bits, right in the high; 0 for an unknown stream.
uint32_t IPC_GetVolume(IPC_HANDLE stream);
}
