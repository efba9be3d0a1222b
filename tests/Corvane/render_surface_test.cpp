// The headless display surfaces the renderer draws into.
#include <gtest/gtest.h>

#include <cstring>

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
