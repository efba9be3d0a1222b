#pragma once
// Drawing into a picture (in place of the system's device context): what a player hands its
// draw callback while the shown picture is still in the back surface, so that what the
// callback draws is part of the picture it presents. Coordinates are picture pixels; colours
// are 0x00BBGGRR values. Everything is clipped to the picture.
#include <cstdint>

#include "plat/surface.h"

namespace plat {

// A pixel value of the surface's format from 8-bit red, green and blue.
uint32_t packRgb(uint8_t r, uint8_t g, uint8_t b, const SurfaceFormat& format);

class PaintContext {
 public:
  explicit PaintContext(const LockedSurface& surface) : s_(surface) {}
  // The context a callback was given as its device-context value (0: none).
  static PaintContext* from(intptr_t dc) { return reinterpret_cast<PaintContext*>(dc); }
  intptr_t dc() { return reinterpret_cast<intptr_t>(this); }

  int width() const { return s_.width; }
  int height() const { return s_.height; }

  // A solid pen of `width` pixels (at least 1) for the lines; a solid brush for the fills.
  void selectPen(uint32_t colorref, int width);
  void selectBrush(uint32_t colorref);
  // Pen, brush and current position are kept and given back, as a saved device context is.
  void save();
  void restore();

  void moveTo(int x, int y);
  void lineTo(int x, int y);  // draws from the current position and moves there
  // Fills left..right-1, top..bottom-1 with the brush (edges in any order).
  void fillRect(int left, int top, int right, int bottom);

  // The pixel at (x, y) as 0x00BBGGRR (0 outside the picture).
  uint32_t pixel(int x, int y) const;

 private:
  struct State {
    uint32_t pen = 0;
    int penWidth = 1;
    uint32_t brush = 0;
    int x = 0, y = 0;
  };
  void put(int x, int y, uint32_t colorref);
  void dot(int x, int y);

  LockedSurface s_;
  State state_, saved_;
};

}  // namespace plat
