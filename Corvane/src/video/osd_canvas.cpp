#include "video/osd_canvas.h"

#include <algorithm>

#include "video/osd_font.h"

namespace corvane {
namespace {

int shiftOf(uint32_t mask) {
  int s = 0;
  while (mask && !((mask >> s) & 1)) ++s;
  return s;
}

int bitsOf(uint32_t mask) {
  int n = 0;
  for (uint32_t m = mask >> shiftOf(mask); m & 1; m >>= 1) ++n;
  return n;
}

uint32_t packChannel(uint32_t v8, uint32_t mask) {
  if (!mask) return 0;
  int bits = bitsOf(mask);
  uint32_t v = bits >= 8 ? v8 << (bits - 8) : v8 >> (8 - bits);
  return (v << shiftOf(mask)) & mask;
}

uint32_t unpackChannel(uint32_t p, uint32_t mask) {
  if (!mask) return 0;
  uint32_t max = mask >> shiftOf(mask);
  return ((p & mask) >> shiftOf(mask)) * 255 / max;
}

}  // namespace

uint32_t packRgb(const plat::SurfaceFormat& f, uint32_t rgb) {
  return packChannel((rgb >> 16) & 0xFF, f.redMask) | packChannel((rgb >> 8) & 0xFF, f.greenMask) |
         packChannel(rgb & 0xFF, f.blueMask);
}

uint32_t unpackRgb(const plat::SurfaceFormat& f, uint32_t p) {
  return unpackChannel(p, f.redMask) << 16 | unpackChannel(p, f.greenMask) << 8 |
         unpackChannel(p, f.blueMask);
}

OsdCanvas::OsdCanvas(const plat::LockedSurface& surface, int width, int height)
    : OsdCanvas(surface, std::min(width, surface.width), std::min(height, surface.height),
                std::min(width, surface.width), std::min(height, surface.height)) {}

OsdCanvas::OsdCanvas(const plat::LockedSurface& surface, int width, int height, int shownWidth,
                     int shownHeight)
    : s_(surface),
      width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      bpp_(surface.format.bytesPerPixel()),
      shownWidth_(std::clamp(shownWidth, 0, surface.width)),
      shownHeight_(std::clamp(shownHeight, 0, surface.height)) {}

uint32_t OsdCanvas::pack(uint32_t rgb) const { return packRgb(s_.format, rgb); }

int OsdCanvas::shownX(int x) const {
  return width_ == shownWidth_ ? x : static_cast<int>(int64_t{x} * shownWidth_ / width_);
}

int OsdCanvas::shownY(int y) const {
  return height_ == shownHeight_ ? y : static_cast<int>(int64_t{y} * shownHeight_ / height_);
}

void OsdCanvas::fill(int x0, int y0, int x1, int y1, uint32_t packed) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width_ - 1);
  y1 = std::min(y1, height_ - 1);
  if (x0 > x1 || y0 > y1) return;
  const int left = shownX(x0), top = shownY(y0);
  const int right = std::min(std::max(shownX(x1 + 1), left + 1), shownWidth_);
  const int bottom = std::min(std::max(shownY(y1 + 1), top + 1), shownHeight_);
  for (int y = top; y < bottom; ++y) {
    uint8_t* p = s_.bits + static_cast<size_t>(y) * s_.pitch + static_cast<size_t>(left) * bpp_;
    for (int x = left; x < right; ++x, p += bpp_)
      for (int b = 0; b < bpp_; ++b) p[b] = static_cast<uint8_t>(packed >> (8 * b));
  }
}

void OsdCanvas::putPacked(int x, int y, uint32_t packed) { fill(x, y, x, y, packed); }

void OsdCanvas::put(int x, int y, uint32_t rgb) { putPacked(x, y, pack(rgb)); }

void OsdCanvas::icon(int x, int y, const uint32_t* pixels, int w, int h, uint32_t transparent) {
  if (!pixels) return;
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) {
      uint32_t px = pixels[r * w + c];
      if (px != transparent) put(x + 1 + c, y + r, px);
    }
}

void OsdCanvas::text(int x, int y, const char* text) {
  if (!text) return;
  OsdFont font;
  const uint32_t white = pack(0xFFFFFF);
  for (int i = 0; text[i]; ++i) {
    const uint8_t* g = font.glyph(static_cast<unsigned char>(text[i]));
    if (!g) continue;
    const int cx = x + OsdFont::kAdvance * i + 1;
    if (cx >= width_) break;  // the rest of the line lies right of the picture
    for (int r = 0; r < OsdFont::kHeight; ++r)
      for (int c = 0; c < OsdFont::kWidth; ++c)
        if (OsdFont::pixel(g, c, r)) putPacked(cx + c, y + r, white);
  }
}

void OsdCanvas::hline(int x0, int x1, int y, uint32_t packed) {
  fill(std::min(x0, x1), y, std::max(x0, x1), y, packed);
}

void OsdCanvas::vline(int x, int y0, int y1, uint32_t packed) {
  fill(x, std::min(y0, y1), x, std::max(y0, y1), packed);
}

void OsdCanvas::hookRects(const IpcOsdItems& items) {
  for (int i = 0; i < 4; ++i) {
    if (!items.enable[i]) continue;
    auto edge = [](int32_t percent, int size) {
      int v = static_cast<int>(size * 0.01 * std::clamp(percent, 0, 100));
      return std::clamp(v < 1 ? 0 : v, 0, size);
    };
    const int left = edge(items.rect[i][0], width_), top = edge(items.rect[i][1], height_),
              right = edge(items.rect[i][2], width_), bottom = edge(items.rect[i][3], height_);
    const uint32_t c = pack(items.color[i]);
    hline(left, right, top, c);
    vline(right, top, bottom, c);
    hline(right, left, bottom, c);
    vline(left, bottom, top, c);
    for (int x = right - 10; x > left; x -= 10) vline(x, top, bottom, c);
    for (int y = top + 10; y < bottom; y += 10) hline(left, right, y, c);
  }
}

}  // namespace corvane
