#pragma once
// I420 to the display's RGB formats with the fixed-point BT.601 coefficients of the
// renderer. Every path (scalar, SSE2, AVX2) gives the same pixels.
#include <cstdint>

#include "plat/picture_scale.h"

namespace corvane {

enum PixelFormatCode : int {
  kPixelNone = 0,
  kPixelRgb555 = 1,
  kPixelRgb565 = 2,
  kPixelRgb24 = 3,
  kPixelRgb32 = 4,
};

enum class SimdLevel { Scalar = 0, Sse2 = 1, Avx2 = 2 };

// Converts width x height pixels: luma rows at stride `width`, chroma rows at stride
// width / 2 (chroma of row r is row r / 2); output rows at `pitch`. False for an unknown code.
bool convertI420(int code, const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
                 int height, uint8_t* dst, int pitch);
// The same from planes at their own strides (a decoder's picture, a scaled one).
bool convertI420(int code, const plat::I420Planes& planes, uint8_t* dst, int pitch);

// Copies `rows` rows of `width` bytes from rows `srcStride` apart into packed rows, writing
// around the caches: for a picture that is read again only when its turn to be shown comes.
void copyPlaneStreamed(const uint8_t* src, int srcStride, int width, int rows, uint8_t* dst);

// The best level this processor runs; tests force lower ones to compare them.
SimdLevel bestSimdLevel();
void forceSimdLevel(SimdLevel level);  // clamped to what the processor runs
SimdLevel simdLevel();

// One pixel as the converters compute it: 0x00RRGGBB.
uint32_t convertPixel(int y, int u, int v);

}  // namespace corvane
