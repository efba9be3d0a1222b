#pragma once
// Drawing onto a locked surface in its own pixel format, clipped to the picture: the OSD's
// icons, text and the hook's grid rectangles.
#include <cstdint>

#include "Corvane/osd.h"
#include "plat/surface.h"

namespace corvane {

class OsdCanvas {
 public:
  // `width` x `height` is the picture's area of the surface.
  OsdCanvas(const plat::LockedSurface& surface, int width, int height);

  void put(int x, int y, uint32_t rgb);
  // An icon's pixels from (x + 1, y), transparent ones skipped.
  void icon(int x, int y, const uint32_t* pixels, int w, int h, uint32_t transparent);
  // White text, one 16 x 24 cell every 12 pixels from (x, y); bytes without a glyph draw
  // nothing.
  void text(int x, int y, const char* text);
  // The hook's enabled rectangles, each an outline filled with a 10-pixel grid.
  void hookRects(const IpcOsdItems& items);

  int width() const { return width_; }
  int height() const { return height_; }

 private:
  uint32_t pack(uint32_t rgb) const;
  void hline(int x0, int x1, int y, uint32_t packed);
  void vline(int x, int y0, int y1, uint32_t packed);
  void putPacked(int x, int y, uint32_t packed);

  plat::LockedSurface s_;
  int width_, height_, bpp_;
};

// Pixel `packed` in a surface format, from 0x00RRGGBB.
uint32_t packRgb(const plat::SurfaceFormat& f, uint32_t rgb);
// And back.
uint32_t unpackRgb(const plat::SurfaceFormat& f, uint32_t packed);

}  // namespace corvane
