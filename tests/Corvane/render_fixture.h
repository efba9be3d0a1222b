#pragma once
// A plain window for renderer and player tests, and helpers to read what it was shown.
#include <algorithm>
#include <memory>
#include <vector>

#include "plat/surface.h"
#include "plat/window.h"
#include "video/picture_pool.h"

namespace corvane::test {

struct TestWindow {
  std::shared_ptr<plat::QueueDispatcher> dispatcher = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle handle =
      plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; }, dispatcher);
  ~TestWindow() { plat::unregisterWindow(handle); }
  plat::PresentedPicture shown() const {
    plat::PresentedPicture p;
    plat::lastPresented(handle, &p);
    return p;
  }
};

// An I420 picture of one colour.
struct FlatPicture {
  int w, h;
  std::vector<uint8_t> data;
  FlatPicture(int width, int height, uint8_t y, uint8_t u = 128, uint8_t v = 128)
      : w(width), h(height) {
    const size_t luma = static_cast<size_t>(w) * h, chroma = static_cast<size_t>(w / 2) * (h / 2);
    data.assign(luma, y);
    data.resize(luma + chroma, u);
    data.resize(luma + 2 * chroma, v);
  }
  const uint8_t* y() const { return data.data(); }
  const uint8_t* u() const { return data.data() + static_cast<size_t>(w) * h; }
  const uint8_t* v() const { return u() + static_cast<size_t>(w / 2) * (h / 2); }
};

// Pictures as a decode thread hands them to a player, with planes the test fills: the
// decoded picture's layout (header, then Y, U and V planes) in a pooled slot.
struct TestPictures {
  PicturePool pool{4};
  // `fill` gets the Y plane (stride width), then U and V (stride width / 2).
  template <typename Fill>
  PictureRef make(int width, int height, Fill fill) {
    PictureSlot* slot = pool.takeFree();
    if (!slot || !slot->copyInto(width, height)) return {};
    fill(const_cast<uint8_t*>(slot->planes.y), const_cast<uint8_t*>(slot->planes.u),
         const_cast<uint8_t*>(slot->planes.v));
    return pool.share(slot);
  }
  PictureRef flat(const FlatPicture& f) {
    return make(f.w, f.h, [&](uint8_t* y, uint8_t* u, uint8_t* v) {
      std::copy(f.y(), f.u(), y);
      std::copy(f.u(), f.v(), u);
      std::copy(f.v(), f.data.data() + f.data.size(), v);
    });
  }
};

// Restores the display format and clears injected failures when a test ends.
struct DisplayGuard {
  ~DisplayGuard() {
    plat::setDisplayFormat(plat::SurfaceFormat::rgb32());
    plat::clearDisplayFailures();
  }
};

}  // namespace corvane::test
