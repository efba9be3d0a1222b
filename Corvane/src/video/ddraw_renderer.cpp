#include "video/ddraw_renderer.h"

#include <algorithm>
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
  last_.reset();
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
  systemMemory_ = !caps.canStretch;
  int shownWidth = width, shownHeight = height;
  plat::SurfaceRect client;
  shownSize(clientRect(window, &client) ? &client : nullptr, &shownWidth, &shownHeight);
  back_ = display_->createBack(shownWidth, shownHeight, systemMemory_);
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

bool DdrawRenderer::drawOsd(OsdCanvas& canvas, int blink) {
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
    return false;
  }
  static const int kIconIds[3] = {kOsdAudioIcon, kOsdTalkIcon, kOsdRecordIcon};
  for (int i = 0; i < 3; ++i) {
    if (!it.iconFlag[i]) continue;
    if (kIconIds[i] == kOsdRecordIcon && blink <= kBlinkShownAbove) continue;
    canvas.icon(it.iconPos[i][0], it.iconPos[i][1], osdIcon(kIconIds[i]), kIconWidth,
                kIconHeight, kIconTransparent);
  }
  for (int t : {2, 0, 1})  // statistics line, then video and audio status
    if (it.text[t][0]) canvas.text(it.textPos[t][0], it.textPos[t][1], it.text[t]);
  return true;
}

bool DdrawRenderer::clientRect(plat::WindowHandle window, plat::SurfaceRect* client) {
  return window && plat::windowClientRect(window, client);
}

void DdrawRenderer::shownSize(const plat::SurfaceRect* client, int* width, int* height) {
  if (!client || client->width() <= 0 || client->height() <= 0) return;
  // A window at least as large as the picture gets the picture's own pixels, which it grows
  // as it paints: growing makes no detail, and the surfaces stay the picture's size.
  if (client->width() >= *width && client->height() >= *height) return;
  *width = client->width();
  *height = client->height();
}

int DdrawRenderer::drawLocked(const plat::SurfaceRect* source, const plat::I420Planes& planes) {
  if (!primary_ || !back_) {
    error_ = "DDRAW ERR:No Surface availability";
    return -9;
  }
  // The window's size decides the surface's: a resized window gets a surface of its new
  // size with the next picture, without binding again.
  // One look at the window a picture: its size and the blit's target.
  plat::SurfaceRect client;
  const bool haveClient = clientRect(window_, &client);
  int shownWidth = width_, shownHeight = height_;
  shownSize(haveClient ? &client : nullptr, &shownWidth, &shownHeight);
  if (back_->width() != shownWidth || back_->height() != shownHeight) {
    auto back = display_->createBack(shownWidth, shownHeight, systemMemory_);
    if (!back) {
      error_ = "DDRAW ERR: CreateBackSurface failed";
      return -4;
    }
    back_ = std::move(back);
  }
  plat::LockedSurface ls;
  // Every pixel is converted anew, so the surface need not keep the picture on screen.
  if (!back_->lockDiscard(&ls)) {
    back_->restore();  // this frame is dropped, the next one draws
    error_ = "DDRAW ERR:Surface Lock failed";
    return -3;
  }
  plat::I420Planes picture = planes;
  picture.width = std::min(planes.width, width_);
  picture.height = std::min(planes.height, height_);
  // Only the pixels the window shows are made: the planes are scaled to the surface first.
  // (A picture of one row or column has no chroma to scale: it is drawn as it is.)
  plat::I420Planes shown = picture;
  if ((picture.width != ls.width || picture.height != ls.height) && picture.width >= 2 && picture.height >= 2) {
    // Chroma rows of an odd-sized picture cover its width and height rounded down: the
    // scaler reads only those.
    plat::I420Planes even = picture;
    even.width &= ~1;
    even.height &= ~1;
    shown = scaler_.scale(even, ls.width, ls.height);
  }
  shown.width = std::min(shown.width, ls.width);
  shown.height = std::min(shown.height, ls.height);
  if (!convertI420(pixelCode_, shown, ls.bits, ls.pitch)) {
    back_->unlock();
    return -1;
  }
  OsdCanvas canvas(ls, width_, height_, ls.width, ls.height);
  drawnBlink_ = blink_;
  // The blink counter runs only while the items are drawn: a hook's rectangles stop it.
  if (drawOsd(canvas, blink_) && ++blink_ > kBlinkMax) blink_ = 0;
  back_->unlock();
  back_->setPictureSize(width_, height_);
  primary_->blit(&client, *back_, source);
  return 0;
}

int DdrawRenderer::BlitFrame(const plat::SurfaceRect* source, const uint8_t* y, const uint8_t* u,
                             const uint8_t* v) {
  std::lock_guard<std::mutex> lk(mutex_);
  // The caller's planes may be gone after the call: a snapshot then shows none.
  last_.reset();
  return drawLocked(source, plat::I420Planes::packed(y, u, v, width_, height_));
}

int DdrawRenderer::BlitPicture(const PictureRef& picture) {
  std::lock_guard<std::mutex> lk(mutex_);
  if (!picture) return -1;
  // The picture shown until now goes first: a stream keeps one picture for its windows, not
  // two while the next is drawn.
  last_.reset();
  const int result = drawLocked(nullptr, picture->planes);
  last_ = result == 0 ? picture : PictureRef();
  return result;
}

bool DdrawRenderer::Snapshot32(std::vector<uint8_t>* out, int* width, int* height) {
  std::lock_guard<std::mutex> lk(mutex_);
  if (!back_ || !out) return false;
  plat::LockedSurface check;
  if (!back_->lock(&check)) return false;
  back_->unlock();
  const int w = width_, h = height_;
  const size_t row = static_cast<size_t>(w) * 4;
  out->assign(row * h, 0);  // black until a picture is drawn
  if (last_ && last_->width() >= w && last_->height() >= h) {
    // The picture and its OSD made again at the picture's size, as the window would show
    // them if it were as large.
    plat::AlignedBytes pixels(row * h);
    plat::LockedSurface full;
    full.bits = pixels.data();
    full.pitch = static_cast<int>(row);
    full.width = w;
    full.height = h;
    full.format = plat::SurfaceFormat::rgb32();
    plat::I420Planes planes = last_->planes;
    planes.width = w;
    planes.height = h;
    convertI420(kPixelRgb32, planes, full.bits, full.pitch);
    OsdCanvas canvas(full, w, h);
    drawOsd(canvas, drawnBlink_);
    for (int r = 0; r < h; ++r)
      std::memcpy(out->data() + static_cast<size_t>(h - 1 - r) * row, pixels.data() + static_cast<size_t>(r) * row, row);
  }
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

PictureRef DdrawRenderer::lastPicture() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return last_;
}

int DdrawRenderer::shownWidth() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return back_ ? back_->width() : 0;
}

int DdrawRenderer::shownHeight() const {
  std::lock_guard<std::mutex> lk(mutex_);
  return back_ ? back_->height() : 0;
}

}  // namespace corvane
