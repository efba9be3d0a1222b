#pragma once
// Display surfaces (in place of the system's display-surface API): a display device, a
// primary surface clipped to a window, off-screen back surfaces in the display's RGB pixel
// format with lock/unlock, and a stretch-present of a back surface onto a window.
//
// The backend here is headless: the display's pixel format is a setting (so every pixel
// format can be exercised), and each window keeps the last picture presented to it, which
// tests read and the Qt display widget paints. Every set-up step can be made to fail so the
// callers' error paths can be driven.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "plat/window.h"

namespace plat {

struct SurfaceFormat {
  bool rgb = true;
  int bitCount = 32;
  uint32_t redMask = 0x00FF0000;
  uint32_t greenMask = 0x0000FF00;
  uint32_t blueMask = 0x000000FF;

  int bytesPerPixel() const { return (bitCount + 7) / 8; }
  static SurfaceFormat rgb32() { return {}; }
  static SurfaceFormat rgb24() { return {true, 24, 0xFF0000, 0x00FF00, 0x0000FF}; }
  static SurfaceFormat rgb565() { return {true, 16, 0xF800, 0x07E0, 0x001F}; }
  static SurfaceFormat rgb555() { return {true, 16, 0x7C00, 0x03E0, 0x001F}; }
};

// The display's pixel format; 32-bit RGB unless a test or a setting chooses another.
void setDisplayFormat(const SurfaceFormat& format);
SurfaceFormat displayFormat();

// Set-up steps a test can make fail (each stays failing until cleared).
enum class DisplayStep {
  Open, Cooperate, Caps, Primary, Back, Lock, Clipper, ClipperWindow, AttachClipper, Count
};
void failDisplayStep(DisplayStep step, bool fail);
void clearDisplayFailures();

struct DisplayCaps {
  bool canStretch = true;  // the device stretches on present, so back surfaces stay in its memory
};

struct SurfaceRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

struct LockedSurface {
  uint8_t* bits = nullptr;
  int pitch = 0;  // bytes from one row to the next, at least width x bytes per pixel
  int width = 0;
  int height = 0;
  SurfaceFormat format;
};

class BackSurface {
 public:
  BackSurface(int width, int height, const SurfaceFormat& format, bool systemMemory);
  int width() const { return width_; }
  int height() const { return height_; }
  SurfaceFormat format() const { return format_; }
  bool inSystemMemory() const { return systemMemory_; }

  // Waits for any other holder of the lock. False, without holding it, when the surface
  // is lost (restore it) or locking fails.
  bool lock(LockedSurface* out);
  void unlock();
  bool restore();
  // The display mode changed under the surface: the next lock fails until restored.
  void markLost();

 private:
  friend class PrimarySurface;
  int width_, height_, pitch_;
  SurfaceFormat format_;
  bool systemMemory_;
  bool lost_ = false;
  std::mutex mutex_;
  std::vector<uint8_t> memory_;
};

class Clipper {
 public:
  bool setWindow(WindowHandle window);
  WindowHandle window() const { return window_; }

 private:
  WindowHandle window_ = 0;
};

class PrimarySurface {
 public:
  bool attachClipper(std::shared_ptr<Clipper> clipper);
  // Stretches `source` of the back surface (all of it when null) onto `target` of the screen,
  // clipped to the clipper's window. A window that is gone drops the picture; returns false.
  bool blit(const SurfaceRect* target, BackSurface& back, const SurfaceRect* source);

 private:
  std::shared_ptr<Clipper> clipper_;
};

class Display {
 public:
  // Null when no display device can be opened.
  static std::shared_ptr<Display> open();
  bool setNormalCooperation();
  bool caps(DisplayCaps* out) const;
  std::shared_ptr<PrimarySurface> createPrimary();
  // In the display's pixel format; null on failure or an empty size.
  std::shared_ptr<BackSurface> createBack(int width, int height, bool systemMemory);
  std::shared_ptr<Clipper> createClipper();
};

// The window's client area in screen coordinates. Headless windows sit at the origin with
// the size their widget last reported (or none).
void setWindowClientSize(WindowHandle window, int width, int height);
bool windowClientRect(WindowHandle window, SurfaceRect* out);

// The picture last presented to a window: 0x00RRGGBB pixels, top row first, at the size of
// the presented part of the back surface (the widget scales it to its client area).
struct PresentedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint64_t serial = 0;  // counts presents to this window
};
bool lastPresented(WindowHandle window, PresentedPicture* out);

// Called on the presenting thread after each present to the window.
void setPresentListener(WindowHandle window, std::function<void()> listener);

}  // namespace plat
