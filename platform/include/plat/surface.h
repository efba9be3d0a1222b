#pragma once
// Display surfaces (in place of the system's display-surface API): a display device, a
// primary surface clipped to a window, off-screen back surfaces in the display's RGB pixel
// format with lock/unlock, and a stretch-present of a back surface onto a window.
//
// The backend here is headless: the display's pixel format is a setting (so every pixel
// format can be exercised), and each window keeps the last picture presented to it, which
// tests read and the Qt display widget paints. Every set-up step can be made to fail so the
// callers' error paths can be driven.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "plat/aligned_bytes.h"
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

class PictureMemory;
struct WindowScreen;
struct PictureHolds;

class BackSurface {
 public:
  BackSurface(int width, int height, const SurfaceFormat& format, bool systemMemory);
  ~BackSurface();
  int width() const { return width_; }
  int height() const { return height_; }
  SurfaceFormat format() const { return format_; }
  bool inSystemMemory() const { return systemMemory_; }

  // Waits for any other holder of the lock. False, without holding it, when the surface
  // is lost (restore it) or locking fails.
  bool lock(LockedSurface* out);
  // As lock(), for a caller that rewrites every pixel before it unlocks: the memory may be a
  // recycled buffer with an older picture, so a picture still on screen is never copied. When
  // nobody but the window holds the picture on screen, its memory is drawn over: the window's
  // readers wait until the unlock and then see the new picture, before its present.
  bool lockDiscard(LockedSurface* out);
  void unlock();
  // The size of the picture the surface shows, which it may hold scaled to the window
  // (the surface's own size until set); presents hand it on with the pixels.
  void setPictureSize(int width, int height);
  bool restore();
  // The display mode changed under the surface: the next lock fails until restored.
  void markLost();

 private:
  friend class PrimarySurface;
  bool lockWith(LockedSurface* out, bool keepContents);
  const uint8_t* pixelsLocked() const;
  int width_, height_, pitch_;
  SurfaceFormat format_;
  bool systemMemory_;
  bool lost_ = false;
  int pictureWidth_ = 0, pictureHeight_ = 0;  // 0: the surface's own size
  std::mutex mutex_;
  std::shared_ptr<PictureMemory> pool_;
  // The surface's memory; after a present it belongs to the window (`shown_`). The next lock
  // draws into it again when only that window holds it (readers of the window wait until
  // the unlock), else it takes other memory: one picture of memory a surface, not two.
  std::unique_ptr<AlignedBytes> memory_;
  std::shared_ptr<const void> shown_;
  std::weak_ptr<WindowScreen> shownOn_;
  std::shared_ptr<WindowScreen> redrawingOn_;  // while locked over the shown memory
  std::shared_ptr<PictureHolds> holds_;
  bool redrawShownLocked();
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
// the presented part of the back surface (the widget paints it as it is when that is its
// client area's size, else scaled to it).
struct PresentedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint64_t serial = 0;  // counts presents to this window
  // The size of the picture these pixels show: larger or smaller than width x height when
  // it was scaled to the window.
  int pictureWidth = 0;
  int pictureHeight = 0;
};
bool lastPresented(WindowHandle window, PresentedPicture* out);

// The same picture without copying it: 32-bit pixels (blue, green, red, then a byte to
// ignore) at `stride` bytes a row, kept alive by `keep` for as long as the caller holds it.
// A present never writes into memory a caller holds: it moves on to other memory.
struct PresentedFrame {
  int width = 0;
  int height = 0;
  int stride = 0;
  const uint8_t* bits = nullptr;
  uint64_t serial = 0;
  std::shared_ptr<const void> keep;
  int pictureWidth = 0;  // as in PresentedPicture
  int pictureHeight = 0;
};
bool presentedFrame(WindowHandle window, PresentedFrame* out);

// Called on the presenting thread after each present to the window.
void setPresentListener(WindowHandle window, std::function<void()> listener);

// A widget that paints a window's pictures says so while it is shown and notes each present
// it painted, so a presenting thread can hold its next picture until the window painted the
// last one instead of presenting over it unseen. A window nobody paints has every present
// painted.
void setWindowPainter(WindowHandle window, bool painting);
void notePainted(WindowHandle window, uint64_t serial);
// True once the window painted its last present; waits at most `ms` (real time) for that,
// and ends early once `ended` (may be null) is set and wakePaintWaits is called.
bool waitPainted(WindowHandle window, int ms, const std::atomic<bool>* ended = nullptr);
// Wakes the window's paint waits to look at their `ended` flags.
void wakePaintWaits(WindowHandle window);

}  // namespace plat
