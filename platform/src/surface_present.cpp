// The headless screen: what each window was last shown, kept with the window.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>

#include "plat/bytes.h"
#include "plat/surface.h"

#include "picture_memory.h"
#include "window_screen.h"

namespace plat {
namespace {

// Window-data slot of the display state ("SF").
constexpr int kSurfaceSlot = 0x5346;

std::mutex g_attachMutex;

std::shared_ptr<WindowScreen> screenOf(WindowHandle window, bool create) {
  std::lock_guard<std::mutex> lk(g_attachMutex);
  auto s = std::static_pointer_cast<WindowScreen>(windowData(window, kSurfaceSlot));
  if (!s && create && isWindow(window)) {
    s = std::make_shared<WindowScreen>();
    setWindowData(window, kSurfaceSlot, s);
  }
  return s;
}

int channel(uint32_t pixel, uint32_t mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  uint32_t max = mask >> shift;
  uint32_t v = (pixel & mask) >> shift;
  return static_cast<int>(v * 255 / max);
}

uint32_t readPixel(const uint8_t* p, const SurfaceFormat& f) {
  uint32_t raw = 0;
  switch (f.bytesPerPixel()) {
    case 4: raw = getLe32(p); break;
    case 3: raw = getLe16(p) | uint32_t{p[2]} << 16; break;
    case 2: raw = getLe16(p); break;
    default: raw = p[0]; break;
  }
  return static_cast<uint32_t>(channel(raw, f.redMask)) << 16 |
         static_cast<uint32_t>(channel(raw, f.greenMask)) << 8 |
         static_cast<uint32_t>(channel(raw, f.blueMask));
}

}  // namespace

void setWindowClientSize(WindowHandle window, int width, int height) {
  auto s = screenOf(window, true);
  if (!s) return;
  std::lock_guard<std::mutex> lk(s->mutex);
  s->clientWidth = std::max(0, width);
  s->clientHeight = std::max(0, height);
}

bool windowClientRect(WindowHandle window, SurfaceRect* out) {
  if (!out || !isWindow(window)) return false;
  *out = SurfaceRect{};
  if (auto s = screenOf(window, false)) {
    std::lock_guard<std::mutex> lk(s->mutex);
    out->right = s->clientWidth;
    out->bottom = s->clientHeight;
  }
  return true;
}

bool presentedFrame(WindowHandle window, PresentedFrame* out) {
  auto s = screenOf(window, false);
  if (!s || !out) return false;
  std::unique_lock<std::mutex> lk(s->mutex);
  // The surface is drawing the next picture into the memory of this one: wait for it (a
  // conversion's time; the bound only keeps a reader from hanging on a stalled drawer).
  if (!s->redrawnChanged.wait_for(lk, std::chrono::seconds(2), [&] { return !s->redrawing; })) return false;
  if (s->frame.serial == 0) return false;
  *out = s->frame;
  if (std::shared_ptr<PictureHolds> holds = s->frameHolds) {
    // The surface's own memory: counted while held, so the surface draws over it only once
    // every reader let go.
    {
      std::lock_guard<std::mutex> hk(holds->mutex);
      ++holds->count;
    }
    out->keep = std::shared_ptr<const void>(s->frame.keep.get(), [memory = s->frame.keep, holds](const void*) mutable {
      memory.reset();
      std::lock_guard<std::mutex> hk(holds->mutex);
      --holds->count;
    });
  }
  return true;
}

bool lastPresented(WindowHandle window, PresentedPicture* out) {
  PresentedFrame f;
  if (!out || !presentedFrame(window, &f)) return false;
  out->width = f.width;
  out->height = f.height;
  out->serial = f.serial;
  out->pictureWidth = f.pictureWidth;
  out->pictureHeight = f.pictureHeight;
  out->pixels.resize(static_cast<size_t>(f.width) * f.height);
  // The fourth byte of a shown pixel is whatever the drawer left there.
  for (int r = 0; r < f.height; ++r) {
    const uint8_t* row = f.bits + static_cast<size_t>(r) * f.stride;
    uint32_t* o = out->pixels.data() + static_cast<size_t>(r) * f.width;
    std::memcpy(o, row, static_cast<size_t>(f.width) * 4);
    for (int c = 0; c < f.width; ++c) o[c] &= 0xFFFFFF;
  }
  return true;
}

void setPresentListener(WindowHandle window, std::function<void()> listener) {
  auto s = screenOf(window, true);
  if (!s) return;
  std::lock_guard<std::mutex> lk(s->mutex);
  s->listener = listener ? std::make_shared<const std::function<void()>>(std::move(listener)) : nullptr;
}

void setWindowPainter(WindowHandle window, bool painting) {
  auto s = screenOf(window, true);
  if (!s) return;
  {
    std::lock_guard<std::mutex> lk(s->mutex);
    s->painter = painting;
    // What was presented while nobody painted is not waited for.
    s->paintedSerial = s->frame.serial;
  }
  s->paintedChanged.notify_all();
}

void notePainted(WindowHandle window, uint64_t serial) {
  auto s = screenOf(window, false);
  if (!s) return;
  {
    std::lock_guard<std::mutex> lk(s->mutex);
    if (serial <= s->paintedSerial) return;
    s->paintedSerial = serial;
  }
  s->paintedChanged.notify_all();
}

bool waitPainted(WindowHandle window, int ms, const std::atomic<bool>* ended) {
  auto s = screenOf(window, false);
  if (!s) return true;
  std::unique_lock<std::mutex> lk(s->mutex);
  return s->paintedChanged.wait_for(lk, std::chrono::milliseconds(std::max(0, ms)), [&] {
    return s->paintedLocked() || (ended && ended->load());
  });
}

void wakePaintWaits(WindowHandle window) {
  auto s = screenOf(window, false);
  if (!s) return;
  // Under the lock: a wait between its look at the flag and its sleep is not missed.
  { std::lock_guard<std::mutex> lk(s->mutex); }
  s->paintedChanged.notify_all();
}

bool PrimarySurface::blit(const SurfaceRect* target, BackSurface& back, const SurfaceRect* source) {
  (void)target;  // the widget scales to its own client area when it paints
  WindowHandle window = clipper_ ? clipper_->window() : 0;
  auto s = window ? screenOf(window, true) : nullptr;
  if (!s) return false;
  SurfaceRect src{0, 0, back.width(), back.height()};
  if (source) {
    src.left = std::clamp(source->left, 0, back.width());
    src.right = std::clamp(source->right, src.left, back.width());
    src.top = std::clamp(source->top, 0, back.height());
    src.bottom = std::clamp(source->bottom, src.top, back.height());
  }
  PresentedFrame frame;
  std::shared_ptr<PictureHolds> holds;  // set when the window takes the surface's own memory
  frame.width = src.width();
  frame.height = src.height();
  {
    std::lock_guard<std::mutex> lk(back.mutex_);
    if (back.lost_) return false;
    const bool whole = src.width() == back.width() && src.height() == back.height();
    frame.pictureWidth = whole && back.pictureWidth_ > 0 ? back.pictureWidth_ : frame.width;
    frame.pictureHeight = whole && back.pictureHeight_ > 0 ? back.pictureHeight_ : frame.height;
    const int bpp = back.format_.bytesPerPixel();
    const SurfaceFormat std32 = SurfaceFormat::rgb32();
    const bool plain32 = bpp == 4 && back.format_.redMask == std32.redMask &&
                         back.format_.greenMask == std32.greenMask &&
                         back.format_.blueMask == std32.blueMask;
    if (plain32 && src.left == 0 && src.top == 0) {
      // The window shows the surface's own memory; the next lock moves the surface on.
      if (back.memory_) back.shown_ = back.pool_->share(std::move(back.memory_));
      back.shownOn_ = s;
      holds = back.holds_;
      frame.keep = back.shown_;
      frame.bits = static_cast<const uint8_t*>(frame.keep.get());
      frame.stride = back.pitch_;
    } else {
      auto buf = s->converted->take(static_cast<size_t>(frame.width) * frame.height * 4);
      for (int r = 0; r < frame.height; ++r) {
        const uint8_t* row = back.pixelsLocked() + static_cast<size_t>(src.top + r) * back.pitch_;
        uint32_t* out = reinterpret_cast<uint32_t*>(buf->data()) + static_cast<size_t>(r) * frame.width;
        if (plain32) {
          std::memcpy(out, row + static_cast<size_t>(src.left) * 4, static_cast<size_t>(frame.width) * 4);
          continue;
        }
        for (int c = 0; c < frame.width; ++c)
          out[c] = readPixel(row + static_cast<size_t>(src.left + c) * bpp, back.format_);
      }
      frame.stride = frame.width * 4;
      frame.keep = s->converted->share(std::move(buf));
      frame.bits = static_cast<const uint8_t*>(frame.keep.get());
    }
  }
  std::shared_ptr<const std::function<void()>> listener;
  {
    std::lock_guard<std::mutex> lk(s->mutex);
    frame.serial = s->frame.serial + 1;
    s->frame = std::move(frame);
    s->frameHolds = std::move(holds);
    listener = s->listener;
  }
  if (listener) (*listener)();
  return true;
}

}  // namespace plat
