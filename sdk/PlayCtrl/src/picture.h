#pragma once
// A decoded picture kept by the player (I420, tightly packed).
#include <cstdint>
#include <vector>

namespace playctrl {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> i420;  // Y, then U, then V
  const uint8_t* y() const { return i420.data(); }
  const uint8_t* u() const { return i420.data() + width * height; }
  const uint8_t* v() const { return u() + (width / 2) * (height / 2); }
  bool empty() const { return width <= 0 || height <= 0; }
};

// BT.601 studio range to 8-bit RGB.
inline void yuvToRgb(int y, int u, int v, uint8_t& r, uint8_t& g, uint8_t& b) {
  const int c = (y - 16) * 298, d = u - 128, e = v - 128;
  auto clip = [](int x) { return static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x); };
  r = clip((c + 409 * e + 128) >> 8);
  g = clip((c - 100 * d - 208 * e + 128) >> 8);
  b = clip((c + 516 * d + 128) >> 8);
}

}  // namespace playctrl
