#pragma once
// The calling contract of the decoder libraries "CTdec264" and "CTMp4Dec": one entry
// taking (operation, handle block, output). Operation 1 opens an instance and writes its
// handle into the block, 2 decodes the block's input into the output, 3 closes it.
// Operation 4 keeps the picture the last decode reported (its planes stay where that call
// said, unchanged) past later calls, so a caller can show it without copying it: it writes
// a hold into the intptr_t the output points to, 0 when there is no picture. Operation 5
// gives such a hold back (the output points to it); it may come from any thread, also after
// the instance was closed. A library without operations 4 and 5 writes no hold.
// The libraries are loaded by name at run time; this header is all the two sides share.
#include <cstdint>

extern "C" {

enum CTDecOperation : int {
  CTDEC_OPEN = 1,
  CTDEC_DECODE = 2,
  CTDEC_CLOSE = 3,
  CTDEC_HOLD = 4,
  CTDEC_RELEASE = 5,
};

// Instance handle, input pointer, input length. The handle is pointer-sized so that the
// instance can be a real object on a 64-bit system.
struct DecoderHandleBlock {
  intptr_t handle;  // 0 = none
  const uint8_t* input;
  uint32_t length;
};

// What one decode call reports. Both libraries fill the same record, so an MPEG-4 frame
// yields the same picture an H.264 frame does.
struct DecoderOutput {
  int32_t pictureReady;  // > 0 when this call produced a picture
  int32_t width;
  int32_t height;
  const uint8_t* y;
  const uint8_t* u;
  const uint8_t* v;
  int32_t yStride;
  int32_t uStride;
  int32_t vStride;
  int32_t reserved[2];
  int32_t bytesConsumed;  // how far into the input this call got
};

using CTDecEntry = void (*)(int operation, DecoderHandleBlock* block, void* output);

}  // extern "C"

// Library file names and entry names as the player loads them.
inline constexpr const char* kCTdec264Library = "libCTdec264.so";
inline constexpr const char* kCTdec264Entry = "CT_264Dec";
inline constexpr const char* kCTMp4DecLibrary = "libCTMp4Dec.so";
inline constexpr const char* kCTMp4DecEntry = "CT_Mpeg4Dec";
