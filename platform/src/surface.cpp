#include "plat/surface.h"

#include "picture_memory.h"
#include "window_screen.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

namespace plat {
namespace {

std::mutex g_formatMutex;
SurfaceFormat g_format;
std::array<std::atomic<bool>, static_cast<size_t>(DisplayStep::Count)> g_fail{};

bool failing(DisplayStep step) { return g_fail[static_cast<size_t>(step)].load(); }

}  // namespace

void setDisplayFormat(const SurfaceFormat& format) {
  std::lock_guard<std::mutex> lk(g_formatMutex);
  g_format = format;
}

SurfaceFormat displayFormat() {
  std::lock_guard<std::mutex> lk(g_formatMutex);
  return g_format;
}

void failDisplayStep(DisplayStep step, bool fail) {
  if (step < DisplayStep::Count) g_fail[static_cast<size_t>(step)] = fail;
}

void clearDisplayFailures() {
  for (auto& f : g_fail) f = false;
}

BackSurface::BackSurface(int width, int height, const SurfaceFormat& format, bool systemMemory)
    : width_(width), height_(height), format_(format), systemMemory_(systemMemory) {
  // Rows are padded to 16 bytes like device memory, so callers must honour the pitch.
  pitch_ = (width * format.bytesPerPixel() + 15) & ~15;
  pool_ = std::make_shared<PictureMemory>(2);
  holds_ = std::make_shared<PictureHolds>();
  memory_ = pool_->take(static_cast<size_t>(pitch_) * height);
}

BackSurface::~BackSurface() = default;

const uint8_t* BackSurface::pixelsLocked() const {
  return memory_ ? memory_->data() : static_cast<const uint8_t*>(shown_.get());
}

bool BackSurface::lock(LockedSurface* out) { return lockWith(out, true); }

bool BackSurface::lockDiscard(LockedSurface* out) { return lockWith(out, false); }

bool BackSurface::lockWith(LockedSurface* out, bool keepContents) {
  if (!out || failing(DisplayStep::Lock)) return false;
  mutex_.lock();
  if (lost_) {
    mutex_.unlock();
    return false;
  }
  if (!memory_ && (keepContents || !redrawShownLocked())) {
    // The picture on screen is to be kept, or a reader holds it: draw into other memory.
    const size_t bytes = static_cast<size_t>(pitch_) * height_;
    memory_ = pool_->take(bytes);
    if (keepContents) std::memcpy(memory_->data(), shown_.get(), bytes);
    shown_.reset();
  }
  out->bits = memory_ ? memory_->data() : static_cast<uint8_t*>(const_cast<void*>(shown_.get()));
  out->pitch = pitch_;
  out->width = width_;
  out->height = height_;
  out->format = format_;
  return true;
}

// No reader holds the shown memory (the window may): the window's readers are held off until
// the unlock and the picture is drawn over the one shown. Checked under the window's lock,
// which every new reader takes, so no reader comes between.
bool BackSurface::redrawShownLocked() {
  if (!shown_) return false;
  std::shared_ptr<WindowScreen> s = shownOn_.lock();
  std::unique_lock<std::mutex> screen;
  if (s) screen = std::unique_lock<std::mutex>(s->mutex);
  {
    std::lock_guard<std::mutex> lk(holds_->mutex);
    if (holds_->count > 0) return false;
  }
  if (s && s->frame.keep == shown_) {
    s->redrawing = true;
    redrawingOn_ = std::move(s);
  }
  return true;
}

void BackSurface::unlock() {
  if (std::shared_ptr<WindowScreen> s = std::move(redrawingOn_)) {
    {
      std::lock_guard<std::mutex> lk(s->mutex);
      s->redrawing = false;
    }
    s->redrawnChanged.notify_all();
  }
  mutex_.unlock();
}

void BackSurface::setPictureSize(int width, int height) {
  std::lock_guard<std::mutex> lk(mutex_);
  pictureWidth_ = std::max(0, width);
  pictureHeight_ = std::max(0, height);
}

bool BackSurface::restore() {
  std::lock_guard<std::mutex> lk(mutex_);
  lost_ = false;
  return true;
}

void BackSurface::markLost() {
  std::lock_guard<std::mutex> lk(mutex_);
  lost_ = true;
}

bool Clipper::setWindow(WindowHandle window) {
  if (failing(DisplayStep::ClipperWindow) || !isWindow(window)) return false;
  window_ = window;
  return true;
}

bool PrimarySurface::attachClipper(std::shared_ptr<Clipper> clipper) {
  if (failing(DisplayStep::AttachClipper) || !clipper) return false;
  clipper_ = std::move(clipper);
  return true;
}

std::shared_ptr<Display> Display::open() {
  if (failing(DisplayStep::Open)) return nullptr;
  return std::make_shared<Display>();
}

bool Display::setNormalCooperation() { return !failing(DisplayStep::Cooperate); }

bool Display::caps(DisplayCaps* out) const {
  if (!out || failing(DisplayStep::Caps)) return false;
  *out = DisplayCaps{};
  return true;
}

std::shared_ptr<PrimarySurface> Display::createPrimary() {
  if (failing(DisplayStep::Primary)) return nullptr;
  return std::make_shared<PrimarySurface>();
}

std::shared_ptr<BackSurface> Display::createBack(int width, int height, bool systemMemory) {
  if (failing(DisplayStep::Back) || width <= 0 || height <= 0 || width > 16384 || height > 16384)
    return nullptr;
  return std::make_shared<BackSurface>(width, height, displayFormat(), systemMemory);
}

std::shared_ptr<Clipper> Display::createClipper() {
  if (failing(DisplayStep::Clipper)) return nullptr;
  return std::make_shared<Clipper>();
}

}  // namespace plat
