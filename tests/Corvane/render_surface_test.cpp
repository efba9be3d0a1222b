// The headless display surfaces the renderer draws into.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "plat/surface.h"
#include "plat/window.h"

namespace {

struct TestWindow {
  std::shared_ptr<plat::QueueDispatcher> dispatcher = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle handle =
      plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; }, dispatcher);
  ~TestWindow() { plat::unregisterWindow(handle); }
};

struct FormatCase {
  plat::SurfaceFormat format;
  uint32_t rawRed;  // the pixel value of pure red in that format
};

TEST(Surface, BackSurfaceTakesTheDisplayFormatAndPresentsAsRgb) {
  TestWindow w;
  for (const FormatCase& fc : {FormatCase{plat::SurfaceFormat::rgb32(), 0xFF0000},
                               FormatCase{plat::SurfaceFormat::rgb24(), 0xFF0000},
                               FormatCase{plat::SurfaceFormat::rgb565(), 0xF800},
                               FormatCase{plat::SurfaceFormat::rgb555(), 0x7C00}}) {
    plat::setDisplayFormat(fc.format);
    auto display = plat::Display::open();
    ASSERT_TRUE(display);
    auto primary = display->createPrimary();
    auto back = display->createBack(5, 3, false);
    auto clipper = display->createClipper();
    ASSERT_TRUE(primary && back && clipper);
    ASSERT_TRUE(clipper->setWindow(w.handle));
    ASSERT_TRUE(primary->attachClipper(clipper));
    plat::LockedSurface ls;
    ASSERT_TRUE(back->lock(&ls));
    EXPECT_EQ(ls.format.bitCount, fc.format.bitCount);
    EXPECT_GE(ls.pitch, 5 * fc.format.bytesPerPixel());
    // Pixel (4, 2) red, everything else black.
    uint8_t* px = ls.bits + 2 * ls.pitch + 4 * fc.format.bytesPerPixel();
    for (int b = 0; b < fc.format.bytesPerPixel(); ++b) px[b] = (fc.rawRed >> (8 * b)) & 0xFF;
    back->unlock();
    ASSERT_TRUE(primary->blit(nullptr, *back, nullptr));
    plat::PresentedPicture pic;
    ASSERT_TRUE(plat::lastPresented(w.handle, &pic));
    ASSERT_EQ(pic.width, 5);
    ASSERT_EQ(pic.height, 3);
    EXPECT_EQ(pic.pixels[2 * 5 + 4], 0xFF0000u) << fc.format.bitCount;
    EXPECT_EQ(pic.pixels[0], 0u);
  }
  plat::setDisplayFormat(plat::SurfaceFormat::rgb32());
}

TEST(Surface, LostSurfaceFailsLockUntilRestoredAndGoneWindowDropsThePicture) {
  auto display = plat::Display::open();
  auto back = display->createBack(4, 4, true);
  ASSERT_TRUE(back);
  back->markLost();
  plat::LockedSurface ls;
  EXPECT_FALSE(back->lock(&ls));
  EXPECT_TRUE(back->restore());
  ASSERT_TRUE(back->lock(&ls));
  back->unlock();

  auto primary = display->createPrimary();
  auto clipper = display->createClipper();
  plat::PresentedPicture pic;
  {
    TestWindow w;
    ASSERT_TRUE(clipper->setWindow(w.handle));
    ASSERT_TRUE(primary->attachClipper(clipper));
    int presents = 0;
    plat::setPresentListener(w.handle, [&] { ++presents; });
    EXPECT_TRUE(primary->blit(nullptr, *back, nullptr));
    EXPECT_EQ(presents, 1);
    plat::SurfaceRect part{1, 1, 3, 2};
    EXPECT_TRUE(primary->blit(nullptr, *back, &part));
    ASSERT_TRUE(plat::lastPresented(w.handle, &pic));
    EXPECT_EQ(pic.width, 2);
    EXPECT_EQ(pic.height, 1);
    EXPECT_EQ(pic.serial, 2u);
  }
  EXPECT_FALSE(primary->blit(nullptr, *back, nullptr));
  EXPECT_FALSE(display->createBack(0, 10, false));
}

TEST(Surface, EachSetUpStepCanBeMadeToFail) {
  plat::failDisplayStep(plat::DisplayStep::Open, true);
  EXPECT_FALSE(plat::Display::open());
  plat::clearDisplayFailures();
  auto display = plat::Display::open();
  ASSERT_TRUE(display);
  plat::failDisplayStep(plat::DisplayStep::Back, true);
  EXPECT_FALSE(display->createBack(8, 8, false));
  plat::failDisplayStep(plat::DisplayStep::Caps, true);
  plat::DisplayCaps caps;
  EXPECT_FALSE(display->caps(&caps));
  plat::clearDisplayFailures();
  EXPECT_TRUE(display->caps(&caps));
  EXPECT_TRUE(display->createBack(8, 8, false));
}

}  // namespace

namespace {

// Fills every pixel of the surface with `value` through the lock for full redraws.
void fill(plat::BackSurface& back, uint32_t value) {
  plat::LockedSurface ls;
  ASSERT_TRUE(back.lockDiscard(&ls));
  for (int r = 0; r < ls.height; ++r)
    for (int c = 0; c < ls.width; ++c)
      std::memcpy(ls.bits + r * ls.pitch + c * 4, &value, 4);
  back.unlock();
}

}  // namespace

namespace {

// A 32-bit back surface presented to a window of its own.
struct Presenting {
  TestWindow w;
  std::shared_ptr<plat::Display> display;
  std::shared_ptr<plat::PrimarySurface> primary;
  std::shared_ptr<plat::BackSurface> back;
  std::shared_ptr<plat::Clipper> clipper;
  Presenting(int width, int height) {
    plat::setDisplayFormat(plat::SurfaceFormat::rgb32());
    display = plat::Display::open();
    primary = display->createPrimary();
    back = display->createBack(width, height, false);
    clipper = display->createClipper();
  }
  bool ready() const { return back && clipper->setWindow(w.handle) && primary->attachClipper(clipper); }
};

}  // namespace

TEST(Surface, APictureHeldForPaintingIsNeverDrawnOverByLaterPresents) {
  Presenting p(6, 3);
  ASSERT_TRUE(p.ready());
  auto& w = p.w;
  auto& back = p.back;
  auto& primary = p.primary;
  fill(*back, 0x112233);
  ASSERT_TRUE(primary->blit(nullptr, *back, nullptr));
  plat::PresentedFrame held;
  ASSERT_TRUE(plat::presentedFrame(w.handle, &held));
  for (uint32_t v : {0x445566u, 0x778899u, 0xAABBCCu}) {
    fill(*back, v);
    ASSERT_TRUE(primary->blit(nullptr, *back, nullptr));
  }
  for (int r = 0; r < held.height; ++r)
    for (int c = 0; c < held.width; ++c) {
      uint32_t px;
      std::memcpy(&px, held.bits + r * held.stride + c * 4, 4);
      ASSERT_EQ(px & 0xFFFFFF, 0x112233u) << r << "," << c;
    }
  plat::PresentedPicture now;
  ASSERT_TRUE(plat::lastPresented(w.handle, &now));
  EXPECT_EQ(now.serial, 4u);
  EXPECT_EQ(now.pixels[17], 0xAABBCCu);
  // A lock that keeps the contents sees the picture on screen, and drawing into it leaves
  // the screen as it was until the next present.
  plat::LockedSurface ls;
  ASSERT_TRUE(back->lock(&ls));
  uint32_t first;
  std::memcpy(&first, ls.bits, 4);
  EXPECT_EQ(first & 0xFFFFFF, 0xAABBCCu);
  std::memset(ls.bits, 0, 4);
  back->unlock();
  ASSERT_TRUE(plat::lastPresented(w.handle, &now));
  EXPECT_EQ(now.pixels[0], 0xAABBCCu);
}

// A surface keeps one picture of memory while its window's picture is not held elsewhere:
// a full redraw goes over the shown memory, and a reader of the window in the meantime
// waits and gets the whole new picture, never a half-drawn one.
TEST(Surface, AFullRedrawGoesOverTheShownPictureOnlyWhenNobodyElseHoldsIt) {
  Presenting p(8, 4);
  ASSERT_TRUE(p.ready());
  fill(*p.back, 0x010203);
  ASSERT_TRUE(p.primary->blit(nullptr, *p.back, nullptr));
  plat::PresentedFrame shown;
  ASSERT_TRUE(plat::presentedFrame(p.w.handle, &shown));
  const uint8_t* memory = shown.bits;
  shown = plat::PresentedFrame{};

  plat::LockedSurface ls;
  ASSERT_TRUE(p.back->lockDiscard(&ls));
  EXPECT_EQ(ls.bits, memory);
  std::atomic<bool> read{false};
  plat::PresentedPicture seen;
  std::thread reader([&] {
    plat::lastPresented(p.w.handle, &seen);
    read = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(read.load()) << "a reader got the picture while it was being drawn over";
  for (int r = 0; r < ls.height; ++r)
    for (int c = 0; c < ls.width; ++c) std::memcpy(ls.bits + r * ls.pitch + c * 4, "\x06\x05\x04\0", 4);
  p.back->unlock();
  reader.join();
  ASSERT_EQ(seen.pixels.size(), 32u);
  for (uint32_t px : seen.pixels) ASSERT_EQ(px, 0x040506u);

  // Held by a painter: the next picture goes to other memory and the held one stays whole.
  ASSERT_TRUE(p.primary->blit(nullptr, *p.back, nullptr));
  ASSERT_TRUE(plat::presentedFrame(p.w.handle, &shown));
  fill(*p.back, 0x0A0B0C);
  ASSERT_TRUE(p.primary->blit(nullptr, *p.back, nullptr));
  uint32_t px;
  std::memcpy(&px, shown.bits, 4);
  EXPECT_EQ(px & 0xFFFFFF, 0x040506u);
  ASSERT_TRUE(plat::lastPresented(p.w.handle, &seen));
  EXPECT_EQ(seen.pixels[31], 0x0A0B0Cu);
}

namespace {

TEST(Surface, APresenterWaitsForThePaintOfItsLastPictureOnlyWhileTheWindowIsPainted) {
  Presenting p(4, 2);
  ASSERT_TRUE(p.ready());
  // Nobody paints the window yet: every present counts as painted.
  ASSERT_TRUE(p.primary->blit(nullptr, *p.back, nullptr));
  EXPECT_TRUE(plat::waitPainted(p.w.handle, 0));
  plat::setWindowPainter(p.w.handle, true);
  EXPECT_TRUE(plat::waitPainted(p.w.handle, 0)) << "what came before the painter is not waited for";
  ASSERT_TRUE(p.primary->blit(nullptr, *p.back, nullptr));
  EXPECT_FALSE(plat::waitPainted(p.w.handle, 20));
  plat::notePainted(p.w.handle, 1);  // an older picture painted late
  EXPECT_FALSE(plat::waitPainted(p.w.handle, 0));
  // The paint on another thread ends the wait.
  plat::PresentedFrame f;
  ASSERT_TRUE(plat::presentedFrame(p.w.handle, &f));
  std::thread gui([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    plat::notePainted(p.w.handle, f.serial);
  });
  EXPECT_TRUE(plat::waitPainted(p.w.handle, 10000));
  gui.join();
  ASSERT_TRUE(p.primary->blit(nullptr, *p.back, nullptr));
  EXPECT_FALSE(plat::waitPainted(p.w.handle, 0));
  plat::setWindowPainter(p.w.handle, false);  // hidden
  EXPECT_TRUE(plat::waitPainted(p.w.handle, 0));
}

}  // namespace
