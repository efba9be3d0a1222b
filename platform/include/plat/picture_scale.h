#pragma once
// Planar 4:2:0 pictures scaled to the size they are shown at, in place of the display
// device's stretching blitter: a window smaller than the picture gets the pixels it shows
// and nothing more, so the colour conversion after it and the paint work at the window's
// size. Shrinking averages the picture's pixels under each shown one (no aliasing of fine
// detail); growing interpolates.
#include <cstdint>

#include "plat/aligned_bytes.h"
#include "plat/column_shrink.h"

namespace plat {

// Three planes of a 4:2:0 picture: chroma planes of (width + 1) / 2 x (height + 1) / 2.
struct I420Planes {
  const uint8_t* y = nullptr;
  const uint8_t* u = nullptr;
  const uint8_t* v = nullptr;
  int yStride = 0;
  int uStride = 0;
  int vStride = 0;
  int width = 0;
  int height = 0;

  bool empty() const { return !y || !u || !v || width <= 0 || height <= 0; }
  // Planes one after the other at strides width and width / 2, as a decoded picture lays
  // them out.
  static I420Planes packed(const uint8_t* y, const uint8_t* u, const uint8_t* v, int width, int height) {
    return I420Planes{y, u, v, width, width / 2, width / 2, width, height};
  }
};

// Keeps the memory of its last result and reuses it while the size stays: a live picture
// scaled on every frame allocates nothing.
class PictureScaler {
 public:
  // `source` at `width` x `height`: the scaler's own planes, valid until the next call;
  // empty planes when either picture is empty.
  I420Planes scale(const I420Planes& source, int width, int height);
  // Bytes the scaler keeps.
  size_t keptBytes() const { return memory_.capacity() + halved_.capacity() + rows_.capacity(); }

 private:
  AlignedBytes memory_;
  AlignedBytes halved_;  // the picture shrunk by a power of two on the way
  AlignedBytes rows_;    // a plane's rows interpolated, before its columns are
  detail::ColumnShrink lumaColumns_, chromaColumns_;
};

}  // namespace plat
