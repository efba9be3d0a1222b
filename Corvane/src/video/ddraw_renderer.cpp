#include "video/ddraw_renderer.h"

#include <cstring>

#include "video/osd_canvas.h"
#include "video/osd_icons.h"
#include "video/yuv_convert.h"

namespace corvane {
namespace {

int iconSlot(int id) { return id == kOsdAudioIcon ? 0 : id == kOsdTalkIcon ? 1 : id == kOsdRecordIcon ? 2 : -1; }
int textSlot(int id) { return id == kOsdVideoText ? 0 : id == kOsdAudioText ? 1 : id == kOsdStatsText ? 2 : -1; }

}  // namespace

DdrawRenderer::DdrawRenderer(OsdHookOwner* owner) : owner_(owner) {}

DdrawRenderer::~DdrawRenderer() { ReleaseSurfaces(); }

int DdrawRenderer::fail(const char* text, int code) {
  if (text) error_ = text;
  releaseLocked();
  return code;
}

void DdrawRenderer::releaseLocked() {
  back_.reset();
  primary_.reset();
  display_.reset();
  window_ = 0;
  pixelCode_ = 0;
}

void DdrawRenderer::ReleaseSurfaces() {
  std::lock_guard<std::mutex> lk(mutex_);
  releaseLocked();
}

int DdrawRenderer::BindWindow(plat::WindowHandle window, int width, int height) {
  std::lock_guard<std::mutex> lk(mutex_);
  releaseLocked();
  width_ = width;
  height_ = height;
  error_.clear();
  display_ = plat::Display::open();
  if (!display_) return fail("DDRAW ERR:DirectDrawCreateEx failed", -1);
  if (!display_->setNormalCooperation()) return fail("DDRAW ERR:SetCooperativeLevel failed", -2);
  plat::DisplayCaps caps;
  if (!display_->caps(&caps)) return fail("DDRAW ERR:GetCaps failed", -20);
  primary_ = display_->createPrimary();
  if (!primary_) return fail("DDRAW ERR:CreateMainSurface failed", -3);
  // Without a stretching device the back surface lives in system memory.
  back_ = display_->createBack(width, height, !caps.canStretch);
  if (!back_) return fail("DDRAW ERR: CreateBackSurface failed", -4);
  pixelCode_ = 0;
  plat::LockedSurface ls;
  if (!back_->lock(&ls)) return fail("DDRAW ERR:Surface Lock failed", -8);
  if (!ls.format.rgb) {
    back_->unlock();
    return fail("DDRAW ERR:Video Mode Is Not RGB Mode", -10);
  }
  switch (ls.format.bitCount) {
    case 32: pixelCode_ = kPixelRgb32; break;
    case 24: pixelCode_ = kPixelRgb24; break;
    case 16:
      pixelCode_ = ls.format.redMask == 0xF800 ? kPixelRgb565
                   : ls.format.redMask == 0x7C00 ? kPixelRgb555 : kPixelNone;
      break;
    default:
      back_->unlock();
      return fail("DDRAW ERR:Unknown Video Mode", -9);
  }
  back_->unlock();
  if (pixelCode_ == kPixelNone) return fail("DDRAW ERR:Unknown Video Mode", -11);
  auto clipper = display_->createClipper();
  if (!clipper) return fail(nullptr, -2);
  if (!clipper->setWindow(window)) return fail(nullptr, -3);
  if (!primary_->attachClipper(clipper)) return fail(nullptr, -4);
  window_ = window;
  return 0;
}

int DdrawRenderer::SetOsdItem(int x, int y, const char* text, int flag, int itemId) {
  std::lock_guard<std::mutex> lk(itemMutex_);
  if (int i = iconSlot(itemId); i >= 0) {
    items_.iconFlag[i] = flag;
    items_.iconPos[i][0] = x;
    items_.iconPos[i][1] = y;
  } else if (int t = textSlot(itemId); t >= 0) {
    std::strncpy(items_.text[t], text ? text : "", kOsdTextMax - 1);
    items_.text[t][kOsdTextMax - 1] = 0;
    items_.textPos[t][0] = x;
    items_.textPos[t][1] = y;
  }
  return 1;
}

void DdrawRenderer::PrepareOsd(int width, int height) {
  if (!owner_) return;
  IpcOsdItems items;
  {
    std::lock_guard<std::mutex> lk(itemMutex_);
    items = hookItems_;  // the hook sees the record as it left it
  }
  // No lock of ours is held: the hook may snapshot, record or stop this very stream.
  const bool hooked = owner_->callOsdHook(&items, width, height);
  std::lock_guard<std::mutex> lk(itemMutex_);
  hooked_ = hooked;
  if (hooked) hookItems_ = items;
}

void DdrawRenderer::drawOsd(const plat::LockedSurface& ls) {
  OsdCanvas canvas(ls, width_, height_);
  Items it;
  IpcOsdItems hookItems;
  bool hooked;
  {
    std::lock_guard<std::mutex> lk(itemMutex_);
    it = items_;
    hooked = hooked_;
    hookItems = hookItems_;
  }
  if (hooked) {
    canvas.hookRects(hookItems);
    return;
  }
  static const int kIconIds[3] = {kOsdAudioIcon, kOsdTalkIcon, kOsdRecordIcon};
  for (int i = 0; i < 3; ++i) {
    if (!it.iconFlag[i]) continue;
    if (kIconIds[i] == kOsdRecordIcon && blink_ <= kBlinkShownAbove) continue;
    canvas.icon(it.iconPos[i][0], it.iconPos[i][1], osdIcon(kIconIds[i]), kIconWidth,
                kIconHeight, kIconTransparent);
  }
  for (int t : {2, 0, 1})  // statistics line, then video and audio status
    if (it.text[t][0]) canvas.text(it.textPos[t][0], it.textPos[t][1], it.text[t]);
  if (++blink_ > kBlinkMax) blink_ = 0;
}

int DdrawRenderer::BlitFrame(const plat::SurfaceRect* source, const uint8_t* y, const uint8_t* u,
                             const uint8_t* v) {
  std::lock_guard<std::mutex> lk(mutex_);
  if (!primary_ || !back_) {
    error_ = "DDRAW ERR:No Surface availability";
    return -9;
  }
  plat::LockedSurface ls;
  // Every pixel is converted anew, so the surface need not keep the picture on screen.
  if (!back_->lockDiscard(&ls)) {
    back_->restore();  // this frame is dropped, the next one draws
    error_ = "DDRAW ERR:Surface Lock failed";
    return -3;
  }
  const int w = std::min(width_, ls.width), h = std::min(height_, ls.height);
  if (!convertI420(pixelCode_, y, u, v, w, h, ls.bits, ls.pitch)) {
    back_->unlock();
    return -1;
  }
  drawOsd(ls);
  back_->unlock();
  plat::SurfaceRect target;
  plat::windowClientRect(window_, &target);
  primary_->blit(&target, *back_, source);
  return 0;
}

bool DdrawRenderer::CopySurface32(std::vector<uint8_t>* out, int* width, int* height) {
  std::lock_guard<std::mutex> lk(mutex_);
  if (!back_ || !out) return false;
  plat::LockedSurface ls;
  if (!back_->lock(&ls)) return false;
  const int w = ls.width, h = ls.height, bpp = ls.format.bytesPerPixel();
  out->assign(static_cast<size_t>(w) * h * 4, 0);
  for (int r = 0; r < h; ++r) {
    const uint8_t* src = ls.bits + static_cast<size_t>(r) * ls.pitch;
    uint8_t* dst = out->data() + static_cast<size_t>(h - 1 - r) * w * 4;
    for (int c = 0; c < w; ++c, src += bpp, dst += 4) {
      uint32_t raw = 0;
      for (int b = 0; b < bpp; ++b) raw |= static_cast<uint32_t>(src[b]) << (8 * b);
      uint32_t rgb = bpp == 4 ? raw & 0xFFFFFF : unpackRgb(ls.format, raw);
      dst[0] = static_cast<uint8_t>(rgb);
      dst[1] = static_cast<uint8_t>(rgb >> 8);
      dst[2] = static_cast<uint8_t>(rgb >> 16);
      dst[3] = 0;
    }
  }
  back_->unlock();
  *width = w;
  *height = h;
  return true;
}

plat::WindowHandle DdrawRenderer::window() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return window_;
}

int DdrawRenderer::pixelFormatCode() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return pixelCode_;
}

std::string DdrawRenderer::errorText() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return error_;
}

int DdrawRenderer::width() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return width_;
}

int DdrawRenderer::height() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return height_;
}

}  // namespace corvane
