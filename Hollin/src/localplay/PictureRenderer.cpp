#include "localplay/PictureRenderer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace hollin::localplay {

namespace {

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// One 8-bit channel placed into its mask.
uint32_t Place(uint8_t c, uint32_t mask) {
  if (!mask) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const uint32_t v = bits >= 8 ? static_cast<uint32_t>(c) << (bits - 8) : c >> (8 - bits);
  return (v << shift) & mask;
}

}  // namespace

void ToRgb(const Picture& p, uint32_t* rgb) {
  const int w = p.width, h = p.height;
  const uint8_t* y = p.i420.data();
  const uint8_t* u = y + static_cast<size_t>(w) * h;
  const uint8_t* v = u + static_cast<size_t>(w / 2) * (h / 2);
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      const int yy = (y[static_cast<size_t>(r) * w + c] - 16) * 298;
      const size_t ci = static_cast<size_t>(r / 2) * (w / 2) + c / 2;
      const int uu = u[ci] - 128, vv = v[ci] - 128;
      const uint8_t R = Clamp((yy + 409 * vv + 128) >> 8);
      const uint8_t G = Clamp((yy - 100 * uu - 208 * vv + 128) >> 8);
      const uint8_t B = Clamp((yy + 516 * uu + 128) >> 8);
      rgb[static_cast<size_t>(r) * w + c] = (uint32_t{R} << 16) | (uint32_t{G} << 8) | B;
    }
  }
}

bool PictureRenderer::SetUp(int width, int height) {
  if (!display_) {
    display_ = plat::Display::open();
    if (!display_ || !display_->setNormalCooperation()) return false;
  }
  if (!primary_) {
    auto primary = display_->createPrimary();
    auto clipper = display_->createClipper();
    if (!primary || !clipper || !clipper->setWindow(window_) || !primary->attachClipper(clipper))
      return false;
    primary_ = primary;
  }
  if (!back_ || back_->width() != width || back_->height() != height)
    back_ = display_->createBack(width, height, false);
  return back_ != nullptr;
}

bool PictureRenderer::Present(const Picture& p) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!window_ || !p.valid() || !plat::isWindow(window_)) return false;
  if (!SetUp(p.width, p.height)) {
    display_.reset();
    primary_.reset();
    back_.reset();
    return false;
  }
  std::vector<uint32_t> rgb(static_cast<size_t>(p.width) * p.height);
  ToRgb(p, rgb.data());
  plat::LockedSurface s;
  // The surface is the picture's size and every pixel is drawn anew.
  if (!back_->lockDiscard(&s)) {
    back_->restore();
    return false;
  }
  const int bpp = s.format.bytesPerPixel();
  for (int r = 0; r < s.height && r < p.height; ++r) {
    uint8_t* row = s.bits + static_cast<ptrdiff_t>(r) * s.pitch;
    for (int c = 0; c < s.width && c < p.width; ++c) {
      const uint32_t px = rgb[static_cast<size_t>(r) * p.width + c];
      const uint32_t packed = Place(static_cast<uint8_t>(px >> 16), s.format.redMask) |
                              Place(static_cast<uint8_t>(px >> 8), s.format.greenMask) |
                              Place(static_cast<uint8_t>(px), s.format.blueMask);
      for (int b = 0; b < bpp; ++b) row[c * bpp + b] = static_cast<uint8_t>(packed >> (8 * b));
    }
  }
  back_->unlock();
  plat::SurfaceRect target;
  if (!plat::windowClientRect(window_, &target) || target.width() <= 0 || target.height() <= 0)
    target = {0, 0, p.width, p.height};
  return primary_->blit(&target, *back_, nullptr);
}

}  // namespace hollin::localplay
