#include "plat/paint.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <utility>

namespace plat {

namespace {
uint8_t channelOf(uint32_t v, uint32_t mask) {
  if (!mask) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const uint32_t c = (v & mask) >> shift;
  return static_cast<uint8_t>(bits >= 8 ? c >> (bits - 8) : c << (8 - bits));
}
}  // namespace

uint32_t packRgb(uint8_t r, uint8_t g, uint8_t b, const SurfaceFormat& f) {
  auto put = [](uint8_t c, uint32_t mask) -> uint32_t {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    return (static_cast<uint32_t>(c) >> (8 - bits)) << shift & mask;
  };
  return put(r, f.redMask) | put(g, f.greenMask) | put(b, f.blueMask);
}

void PaintContext::selectPen(uint32_t colorref, int width) {
  state_.pen = colorref;
  state_.penWidth = std::max(1, width);
}

void PaintContext::selectBrush(uint32_t colorref) { state_.brush = colorref; }

void PaintContext::save() { saved_ = state_; }
void PaintContext::restore() { state_ = saved_; }

void PaintContext::moveTo(int x, int y) {
  state_.x = x;
  state_.y = y;
}

void PaintContext::put(int x, int y, uint32_t colorref) {
  if (!s_.bits || x < 0 || y < 0 || x >= s_.width || y >= s_.height) return;
  const uint32_t v = packRgb(static_cast<uint8_t>(colorref), static_cast<uint8_t>(colorref >> 8),
                             static_cast<uint8_t>(colorref >> 16), s_.format);
  const int bpp = s_.format.bytesPerPixel();
  uint8_t* px = s_.bits + static_cast<size_t>(y) * s_.pitch + static_cast<size_t>(x) * bpp;
  for (int k = 0; k < bpp; ++k) px[k] = static_cast<uint8_t>(v >> (8 * k));
}

void PaintContext::dot(int x, int y) {
  // A wide pen covers a square around the point, as wide as the pen.
  const int w = state_.penWidth;
  const int from = -(w / 2);
  for (int dy = from; dy < from + w; ++dy)
    for (int dx = from; dx < from + w; ++dx) put(x + dx, y + dy, state_.pen);
}

void PaintContext::lineTo(int x, int y) {
  int x0 = state_.x, y0 = state_.y;
  const int dx = std::abs(x - x0), dy = -std::abs(y - y0);
  const int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    dot(x0, y0);
    if (x0 == x && y0 == y) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  moveTo(x, y);
}

void PaintContext::fillRect(int left, int top, int right, int bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, s_.width);
  bottom = std::min(bottom, s_.height);
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) put(x, y, state_.brush);
}

uint32_t PaintContext::pixel(int x, int y) const {
  if (!s_.bits || x < 0 || y < 0 || x >= s_.width || y >= s_.height) return 0;
  const int bpp = s_.format.bytesPerPixel();
  const uint8_t* px = s_.bits + static_cast<size_t>(y) * s_.pitch + static_cast<size_t>(x) * bpp;
  uint32_t v = 0;
  for (int k = 0; k < bpp; ++k) v |= static_cast<uint32_t>(px[k]) << (8 * k);
  return channelOf(v, s_.format.redMask) | channelOf(v, s_.format.greenMask) << 8 |
         static_cast<uint32_t>(channelOf(v, s_.format.blueMask)) << 16;
}

}  // namespace plat
