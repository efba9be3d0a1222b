#pragma once
// A decoded picture kept by the player: the decoder's own planes, held (or, from a decoder
// that cannot keep its pictures, a copy), alive for as long as a copy of it is.
#include <cstdint>
#include <memory>

#include "plat/picture_scale.h"

namespace streamplay {

struct Picture {
  int width = 0;
  int height = 0;
  plat::I420Planes planes;
  std::shared_ptr<const void> keep;  // whatever keeps the planes where they are
  bool empty() const { return width <= 0 || height <= 0 || planes.empty(); }
  uint8_t y(int x, int row) const { return planes.y[static_cast<size_t>(row) * planes.yStride + x]; }
  uint8_t u(int x, int row) const { return planes.u[static_cast<size_t>(row / 2) * planes.uStride + x / 2]; }
  uint8_t v(int x, int row) const { return planes.v[static_cast<size_t>(row / 2) * planes.vStride + x / 2]; }
};

// BT.601 studio range to 8-bit RGB.
inline void yuvToRgb(int y, int u, int v, uint8_t& r, uint8_t& g, uint8_t& b) {
  const int c = (y - 16) * 298, d = u - 128, e = v - 128;
  auto clip = [](int x) { return static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x); };
  r = clip((c + 409 * e + 128) >> 8);
  g = clip((c - 100 * d - 208 * e + 128) >> 8);
  b = clip((c + 516 * d + 128) >> 8);
}

}  // namespace streamplay
