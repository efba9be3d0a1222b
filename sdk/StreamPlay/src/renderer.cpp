#include "renderer.h"

#include <libyuv/convert_argb.h>

#include <algorithm>
#include <cstring>

namespace streamplay {

bool Renderer::setUp(int width, int height) {
  if (!display_) {
    display_ = plat::Display::open();
    if (!display_) return false;
    display_->setNormalCooperation();
    primary_ = display_->createPrimary();
    auto clipper = display_->createClipper();
    if (!primary_ || !clipper || !clipper->setWindow(window_) ||
        !primary_->attachClipper(clipper)) {
      display_.reset();
      primary_.reset();
      return false;
    }
  }
  if (!back_ || back_->width() != width || back_->height() != height) {
    back_ = display_->createBack(width, height, false);
    if (!back_) return false;
  }
  return true;
}

bool Renderer::convert(const Picture& p, bool pictureSize) {
  if (p.empty() || !plat::isWindow(window_)) return false;
  int width = p.width, height = p.height;
  plat::SurfaceRect client;
  // A window smaller than the picture gets the pixels it shows; one at least as large gets
  // the picture's own, which it grows as it paints.
  if (!pictureSize && plat::windowClientRect(window_, &client) && client.width() > 0 && client.height() > 0 &&
      (client.width() < p.width || client.height() < p.height)) {
    width = client.width();
    height = client.height();
  }
  if (!setUp(width, height)) {
    display_.reset();
    back_.reset();
    return false;
  }
  plat::LockedSurface ls;
  // The surface is the shown size and every pixel is converted anew: a picture still on
  // screen need not be copied into the memory drawn into.
  if (!back_->lockDiscard(&ls)) {
    if (!back_->restore()) back_.reset();
    return false;
  }
  const plat::I420Planes shown =
      width == p.width && height == p.height ? p.planes : scaler_.scale(p.planes, width, height);
  const plat::SurfaceFormat rgb32 = plat::SurfaceFormat::rgb32();
  if (ls.format.bitCount == 32 && ls.format.redMask == rgb32.redMask && ls.format.greenMask == rgb32.greenMask &&
      ls.format.blueMask == rgb32.blueMask) {
    libyuv::I420ToARGB(shown.y, shown.yStride, shown.u, shown.uStride, shown.v, shown.vStride, ls.bits, ls.pitch,
                       std::min(width, ls.width), std::min(height, ls.height));
  } else {
    const int bpp = ls.format.bytesPerPixel();
    for (int r = 0; r < height && r < ls.height; ++r) {
      uint8_t* row = ls.bits + static_cast<size_t>(r) * ls.pitch;
      const uint8_t* yr = shown.y + static_cast<size_t>(r) * shown.yStride;
      const uint8_t* ur = shown.u + static_cast<size_t>(r / 2) * shown.uStride;
      const uint8_t* vr = shown.v + static_cast<size_t>(r / 2) * shown.vStride;
      for (int c = 0; c < width && c < ls.width; ++c) {
        uint8_t R, G, B;
        yuvToRgb(yr[c], ur[c / 2], vr[c / 2], R, G, B);
        const uint32_t v = plat::packRgb(R, G, B, ls.format);
        uint8_t* px = row + static_cast<size_t>(c) * bpp;
        for (int k = 0; k < bpp; ++k) px[k] = static_cast<uint8_t>(v >> (8 * k));
      }
    }
  }
  back_->unlock();
  back_->setPictureSize(p.width, p.height);
  return true;
}

void Renderer::paint(const std::function<void(plat::PaintContext&)>& paint) {
  plat::LockedSurface ls;
  if (!back_ || !back_->lock(&ls)) return;
  plat::PaintContext context(ls);
  paint(context);
  back_->unlock();
}

bool Renderer::present() {
  if (!back_ || !primary_) return false;
  plat::SurfaceRect target{};
  plat::windowClientRect(window_, &target);
  return primary_->blit(&target, *back_, nullptr);
}

}  // namespace streamplay
