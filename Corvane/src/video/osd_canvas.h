#pragma once
// Drawing onto a locked surface in its own pixel format, clipped to the picture: the OSD's
// icons, text and the hook's grid rectangles. Everything is drawn in picture coordinates;
// a surface that holds the picture scaled to its window gets each picture pixel on the
// pixels that show it (at least one, so thin lines stay visible when shrunk).
#include <cstdint>

#include "Corvane/osd.h"
#include "plat/surface.h"

namespace corvane {

class OsdCanvas {
 public:
  // `width` x `height` is the picture's area of the surface.
  OsdCanvas(const plat::LockedSurface& surface, int width, int height);
  // A `width` x `height` picture shown at `shownWidth` x `shownHeight` on the surface.
  OsdCanvas(const plat::LockedSurface& surface, int width, int height, int shownWidth, int shownHeight);

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
  // Picture pixels [x0, x1] x [y0, y1] onto the surface pixels that show them.
  void fill(int x0, int y0, int x1, int y1, uint32_t packed);
  int shownX(int x) const;
  int shownY(int y) const;

  plat::LockedSurface s_;
  int width_, height_, bpp_;
  int shownWidth_, shownHeight_;
};

// Pixel `packed` in a surface format, from 0x00RRGGBB.
uint32_t packRgb(const plat::SurfaceFormat& f, uint32_t rgb);
// And back.
uint32_t unpackRgb(const plat::SurfaceFormat& f, uint32_t packed);

}  // namespace corvane
