// The renderer: binding and its failures, drawing, and the OSD.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "render_fixture.h"
#include "video/ddraw_renderer.h"
#include "video/osd_font.h"
#include "video/osd_icons.h"
#include "video/yuv_convert.h"

namespace corvane {
namespace {

using test::DisplayGuard;
using test::FlatPicture;
using test::TestWindow;

struct StepCase {
  plat::DisplayStep step;
  int code;
  const char* text;
};

TEST(Renderer, EachFailedSetUpStepGivesItsCodeAndTextAndLeavesItUnbound) {
  DisplayGuard guard;
  TestWindow w;
  const StepCase cases[] = {
      {plat::DisplayStep::Open, -1, "DDRAW ERR:DirectDrawCreateEx failed"},
      {plat::DisplayStep::Cooperate, -2, "DDRAW ERR:SetCooperativeLevel failed"},
      {plat::DisplayStep::Caps, -20, "DDRAW ERR:GetCaps failed"},
      {plat::DisplayStep::Primary, -3, "DDRAW ERR:CreateMainSurface failed"},
      {plat::DisplayStep::Back, -4, "DDRAW ERR: CreateBackSurface failed"},
      {plat::DisplayStep::Lock, -8, "DDRAW ERR:Surface Lock failed"},
      {plat::DisplayStep::Clipper, -2, ""},
      {plat::DisplayStep::ClipperWindow, -3, ""},
      {plat::DisplayStep::AttachClipper, -4, ""},
  };
  DdrawRenderer r(nullptr);
  FlatPicture pic(16, 16, 100);
  for (const StepCase& c : cases) {
    plat::clearDisplayFailures();
    plat::failDisplayStep(c.step, true);
    EXPECT_EQ(r.BindWindow(w.handle, 16, 16), c.code) << c.text;
    EXPECT_EQ(r.errorText(), c.text);
    EXPECT_EQ(r.window(), 0);
    EXPECT_EQ(r.BlitFrame(nullptr, pic.y(), pic.u(), pic.v()), -9);
    EXPECT_EQ(r.errorText(), "DDRAW ERR:No Surface availability");
  }
  plat::clearDisplayFailures();
  EXPECT_EQ(r.BindWindow(w.handle, 16, 16), 0);
  EXPECT_EQ(r.errorText(), "");
  EXPECT_EQ(r.BindWindow(0, 16, 16), -3) << "no window to clip to";
}

TEST(Renderer, DisplayModesSelectTheirConverter) {
  DisplayGuard guard;
  TestWindow w;
  DdrawRenderer r(nullptr);
  struct Mode {
    plat::SurfaceFormat f;
    int rc, code;
    const char* text;
  } modes[] = {
      {plat::SurfaceFormat::rgb32(), 0, 4, ""},
      {plat::SurfaceFormat::rgb24(), 0, 3, ""},
      {plat::SurfaceFormat::rgb565(), 0, 2, ""},
      {plat::SurfaceFormat::rgb555(), 0, 1, ""},
      {{true, 16, 0x001F, 0x07E0, 0xF800}, -11, 0, "DDRAW ERR:Unknown Video Mode"},
      {{true, 8, 0xE0, 0x1C, 0x03}, -9, 0, "DDRAW ERR:Unknown Video Mode"},
      {{false, 32, 0, 0, 0}, -10, 0, "DDRAW ERR:Video Mode Is Not RGB Mode"},
  };
  for (const Mode& m : modes) {
    plat::setDisplayFormat(m.f);
    EXPECT_EQ(r.BindWindow(w.handle, 24, 10), m.rc) << m.text;
    EXPECT_EQ(r.pixelFormatCode(), m.code);
    EXPECT_EQ(r.errorText(), m.text);
  }
  // A 5-6-5 display draws a picture of any width at the picture's width.
  plat::setDisplayFormat(plat::SurfaceFormat::rgb565());
  ASSERT_EQ(r.BindWindow(w.handle, 21, 7), 0);
  FlatPicture pic(21, 7, 235);
  ASSERT_EQ(r.BlitFrame(nullptr, pic.y(), pic.u(), pic.v()), 0);
  auto shown = w.shown();
  ASSERT_EQ(shown.width, 21);
  // White with green's lowest of six bits clear.
  for (uint32_t px : shown.pixels) ASSERT_EQ(px, 0xFFFAFFu) << std::hex << px;
}

TEST(Renderer, LostSurfaceDropsOneFrameAndTheNextDraws) {
  DisplayGuard guard;
  TestWindow w;
  DdrawRenderer r(nullptr);
  ASSERT_EQ(r.BindWindow(w.handle, 8, 8), 0);
  FlatPicture pic(8, 8, 235);
  plat::failDisplayStep(plat::DisplayStep::Lock, true);
  EXPECT_EQ(r.BlitFrame(nullptr, pic.y(), pic.u(), pic.v()), -3);
  EXPECT_EQ(r.errorText(), "DDRAW ERR:Surface Lock failed");
  plat::clearDisplayFailures();
  EXPECT_EQ(r.BlitFrame(nullptr, pic.y(), pic.u(), pic.v()), 0);
  EXPECT_EQ(w.shown().pixels[0], 0xFFFFFFu);
}

// Everything that is not the black picture.
int litPixels(const plat::PresentedPicture& p, int x0 = 0, int y0 = 0, int x1 = 1 << 30, int y1 = 1 << 30) {
  int n = 0;
  for (int y = std::max(0, y0); y < std::min(p.height, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(p.width, x1); ++x) n += p.pixels[y * p.width + x] != 0;
  return n;
}

TEST(Renderer, TextGlyphsLandInTwelvePixelCellsOnePixelRight) {
  DisplayGuard guard;
  TestWindow w;
  DdrawRenderer r(nullptr);
  ASSERT_EQ(r.BindWindow(w.handle, 120, 60), 0);
  FlatPicture black(120, 60, 16);
  r.SetOsdItem(10, 20, "AW", 0, kOsdStatsText);
  ASSERT_EQ(r.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
  auto shown = w.shown();
  OsdFont font;
  int expected = 0;
  for (int i = 0; i < 2; ++i) {
    const uint8_t* g = font.glyph(static_cast<unsigned char>("AW"[i]));
    ASSERT_NE(g, nullptr);
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 16; ++x) {
        if (!OsdFont::pixel(g, x, y)) continue;
        ++expected;
        ASSERT_EQ(shown.pixels[(20 + y) * 120 + 10 + 12 * i + 1 + x], 0xFFFFFFu) << i << " " << x << "," << y;
      }
  }
  EXPECT_GT(expected, 40);
  // Cells overlap by four columns, so "AW" lights at most the union of the two glyphs.
  EXPECT_LE(litPixels(shown), expected);
  EXPECT_GT(litPixels(shown), expected / 2);
  // An empty text draws nothing and leaves the picture.
  r.SetOsdItem(10, 20, "", 0, kOsdStatsText);
  ASSERT_EQ(r.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
  EXPECT_EQ(litPixels(w.shown()), 0);
  // Two-byte codes index GB2312 rows of 94, which mostly lie outside the table.
  EXPECT_EQ(font.glyph(0xA1B0), nullptr);
  EXPECT_EQ(font.glyph(0xB0A1), font.glyph(15));
  EXPECT_NE(font.glyph(0x7E), nullptr);
  EXPECT_EQ(font.glyph(0xFFFF), nullptr);
}

TEST(Renderer, IconsSkipTransparentPixelsAndTheRecordingIconBlinks) {
  DisplayGuard guard;
  TestWindow w;
  DdrawRenderer r(nullptr);
  ASSERT_EQ(r.BindWindow(w.handle, 100, 60), 0);
  FlatPicture black(100, 60, 16);
  r.SetOsdItem(5, 7, nullptr, 1, kOsdAudioIcon);
  ASSERT_EQ(r.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
  auto shown = w.shown();
  const uint32_t* icon = osdIcon(kOsdAudioIcon);
  int opaque = 0;
  for (int y = 0; y < kIconHeight; ++y)
    for (int x = 0; x < kIconWidth; ++x) {
      uint32_t want = icon[y * kIconWidth + x] == kIconTransparent ? 0 : icon[y * kIconWidth + x];
      opaque += want != 0;
      ASSERT_EQ(shown.pixels[(7 + y) * 100 + 5 + 1 + x], want) << x << "," << y;
    }
  EXPECT_GT(opaque, 50);
  EXPECT_EQ(litPixels(shown), opaque) << "nothing outside the icon";

  // Recording: shown in 20 of every 41 frames.
  r.SetOsdItem(5, 7, nullptr, 0, kOsdAudioIcon);
  r.SetOsdItem(50, 30, nullptr, 1, kOsdRecordIcon);
  int shownFrames = 0;
  for (int f = 0; f < 41 * 3; ++f) {
    ASSERT_EQ(r.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
    shownFrames += litPixels(w.shown()) > 0;
  }
  EXPECT_EQ(shownFrames, 60);
}

TEST(Renderer, OsdIsClippedToSmallPicturesInEveryFormat) {
  DisplayGuard guard;
  TestWindow w;
  for (auto f : {plat::SurfaceFormat::rgb32(), plat::SurfaceFormat::rgb24(),
                 plat::SurfaceFormat::rgb565(), plat::SurfaceFormat::rgb555()}) {
    plat::setDisplayFormat(f);
    DdrawRenderer r(nullptr);
    ASSERT_EQ(r.BindWindow(w.handle, 18, 9), 0);
    FlatPicture black(18, 9, 16);
    // Positions the player gives a tiny picture: far outside, negative, partly inside.
    r.SetOsdItem(18 - 100, 50, nullptr, 1, kOsdAudioIcon);
    r.SetOsdItem(18 - 100, 150, nullptr, 1, kOsdTalkIcon);
    r.SetOsdItem(-20, -5, nullptr, 1, kOsdRecordIcon);
    r.SetOsdItem(50, 9 - 30, "1280x720, 25 fps, 1024.00 kbps", 0, kOsdStatsText);
    r.SetOsdItem(9 - 40, 4 - 10, "Connecting Video... ", 0, kOsdVideoText);
    r.SetOsdItem(2, 0, "HI", 0, kOsdAudioText);
    for (int i = 0; i < 30; ++i) ASSERT_EQ(r.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
    auto shown = w.shown();
    ASSERT_EQ(shown.width, 18);
    EXPECT_GT(litPixels(shown), 0);
    // Text is white in the surface's own format.
    bool white = false;
    for (uint32_t px : shown.pixels) white |= px == 0xFFFFFF;
    EXPECT_TRUE(white) << f.bitCount;
  }
}

struct HookOwner : OsdHookOwner {
  bool set = true;
  IpcOsdItems items{};
  int calls = 0, lastW = 0, lastH = 0;
  bool callOsdHook(IpcOsdItems* out, int w, int h) override {
    if (!set) return false;
    ++calls;
    lastW = w;
    lastH = h;
    *out = items;
    return true;
  }
};

TEST(Renderer, HookRectanglesAreGridsAndReplaceTheItems) {
  DisplayGuard guard;
  TestWindow w;
  HookOwner owner;
  owner.items.enable[1] = 1;
  owner.items.rect[1][0] = 10;   // left 10% of 200 = 20
  owner.items.rect[1][1] = -5;   // top clamps to 0
  owner.items.rect[1][2] = 40;   // right 80
  owner.items.rect[1][3] = 50;   // bottom 50% of 100 = 50
  owner.items.color[1] = 0x00FF00;
  owner.items.rect[2][2] = 100;  // disabled: not drawn
  owner.items.rect[2][3] = 100;
  owner.items.color[2] = 0xFF0000;
  DdrawRenderer r(&owner);
  ASSERT_EQ(r.BindWindow(w.handle, 200, 100), 0);
  r.SetOsdItem(0, 0, nullptr, 1, kOsdAudioIcon);
  r.SetOsdItem(0, 60, "TEXT", 0, kOsdStatsText);
  FlatPicture black(200, 100, 16);
  r.PrepareOsd(200, 100);  // the player asks the hook before it takes its locks
  ASSERT_EQ(r.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
  EXPECT_EQ(owner.calls, 1);
  EXPECT_EQ(owner.lastW, 200);
  EXPECT_EQ(owner.lastH, 100);
  auto shown = w.shown();
  auto at = [&](int x, int y) { return shown.pixels[y * 200 + x]; };
  // Outline.
  for (int x = 20; x <= 80; ++x) {
    ASSERT_EQ(at(x, 0), 0x00FF00u) << x;
    ASSERT_EQ(at(x, 50), 0x00FF00u) << x;
  }
  for (int y = 0; y <= 50; ++y) {
    ASSERT_EQ(at(20, y), 0x00FF00u);
    ASSERT_EQ(at(80, y), 0x00FF00u);
  }
  // Grid: columns every 10 leftward from the right edge, rows every 10 down from the top.
  for (int x : {70, 60, 50, 40, 30}) EXPECT_EQ(at(x, 25), 0x00FF00u) << x;
  for (int y : {10, 20, 30, 40}) EXPECT_EQ(at(45, y), 0x00FF00u) << y;
  EXPECT_EQ(at(45, 25), 0u);
  EXPECT_EQ(at(75, 15), 0u);
  // Nothing outside the rectangle: no icon, no text, no disabled rectangle.
  EXPECT_EQ(litPixels(shown, 0, 51, 200, 100), 0);
  EXPECT_EQ(litPixels(shown, 81, 0, 200, 100), 0);
  EXPECT_EQ(litPixels(shown, 0, 0, 20, 100), 0);
  // A rectangle reaching 100% is clipped at the picture's edge.
  owner.items.enable[2] = 1;
  r.PrepareOsd(200, 100);
  ASSERT_EQ(r.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
  EXPECT_EQ(w.shown().pixels[99 * 200 + 190], 0xFF0000u);
  // Without a hook the items draw again.
  owner.set = false;
  r.PrepareOsd(200, 100);
  ASSERT_EQ(r.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
  EXPECT_GT(litPixels(w.shown(), 0, 0, 40, 24), 0);

  // While a hook draws, the recording icon's blinking stands still: unhooked, it starts from
  // the beginning of its dark half, however many pictures the hook drew.
  owner.set = true;
  DdrawRenderer blinking(&owner);
  ASSERT_EQ(blinking.BindWindow(w.handle, 200, 100), 0);
  blinking.SetOsdItem(100, 60, nullptr, 1, kOsdRecordIcon);
  for (int f = 0; f < 30; ++f) {
    blinking.PrepareOsd(200, 100);
    ASSERT_EQ(blinking.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
  }
  owner.set = false;
  blinking.PrepareOsd(200, 100);
  int dark = 0;
  for (; dark <= 41; ++dark) {
    ASSERT_EQ(blinking.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
    if (litPixels(w.shown(), 100, 60, 134, 84) > 0) break;
  }
  EXPECT_EQ(dark, 21);
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// A picture with smooth colour, edges and thin lines.
test::FlatPicture detailedPicture(int w, int h) {
  test::FlatPicture p(w, h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      p.data[size_t(y) * w + x] = static_cast<uint8_t>(x % 61 < 2 ? 230 : (x / 32 + y / 24) % 2 ? 60 + y % 50 : 170);
  uint8_t* u = p.data.data() + size_t(w) * h;
  uint8_t* v = u + size_t(w / 2) * (h / 2);
  for (int y = 0; y < h / 2; ++y)
    for (int x = 0; x < w / 2; ++x) {
      u[size_t(y) * (w / 2) + x] = static_cast<uint8_t>(80 + x * 90 / (w / 2));
      v[size_t(y) * (w / 2) + x] = static_cast<uint8_t>(170 - y * 70 / (h / 2));
    }
  return p;
}

TEST(Renderer, AWindowSmallerThanThePictureIsShownAtItsOwnSizeAsThePictureShrunk) {
  DisplayGuard guard;
  TestWindow w;
  const int pw = 704, ph = 576, sw = 300, sh = 180;
  plat::setWindowClientSize(w.handle, sw, sh);
  DdrawRenderer r(nullptr);
  ASSERT_EQ(r.BindWindow(w.handle, pw, ph), 0);
  EXPECT_EQ(r.width(), pw) << "pictures are still bound at their own size";
  EXPECT_EQ(r.shownWidth(), sw);
  EXPECT_EQ(r.shownHeight(), sh);
  const test::FlatPicture pic = detailedPicture(pw, ph);
  ASSERT_EQ(r.BlitFrame(nullptr, pic.y(), pic.u(), pic.v()), 0);
  const plat::PresentedPicture shown = w.shown();
  ASSERT_EQ(shown.width, sw);
  ASSERT_EQ(shown.height, sh);
  EXPECT_EQ(shown.pictureWidth, pw);
  EXPECT_EQ(shown.pictureHeight, ph);
  // Reference: the picture converted at its size, each shown pixel the mean of those under it.
  std::vector<uint32_t> full(size_t(pw) * ph);
  for (int y = 0; y < ph; ++y)
    for (int x = 0; x < pw; ++x)
      full[size_t(y) * pw + x] =
          convertPixel(pic.y()[size_t(y) * pw + x], pic.u()[size_t(y / 2) * (pw / 2) + x / 2], pic.v()[size_t(y / 2) * (pw / 2) + x / 2]);
  // Each source pixel weighs by how much of it lies under the shown one.
  const double fx = double(pw) / sw, fy = double(ph) / sh;
  std::vector<double> errors;
  double bias = 0;
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < sw; ++x)
      for (int c = 0; c < 3; ++c) {
        double sum = 0, weight = 0;
        for (int yy = int(y * fy); yy < std::min(ph, int(std::ceil((y + 1) * fy))); ++yy)
          for (int xx = int(x * fx); xx < std::min(pw, int(std::ceil((x + 1) * fx))); ++xx) {
            const double w = (std::min((x + 1) * fx, xx + 1.0) - std::max(x * fx, double(xx))) *
                             (std::min((y + 1) * fy, yy + 1.0) - std::max(y * fy, double(yy)));
            sum += w * (full[size_t(yy) * pw + xx] >> (8 * c) & 255);
            weight += w;
          }
        const double e = double(shown.pixels[size_t(y) * sw + x] >> (8 * c) & 255) - sum / weight;
        bias += e;
        errors.push_back(std::abs(e));
      }
  std::sort(errors.begin(), errors.end());
  double mean = 0;
  for (double e : errors) mean += e;
  mean /= double(errors.size());
  bias /= double(errors.size());
  // Edges lie within a pixel's alignment of the reference's (the 99th percentile); a scaler
  // that samples instead of averaging, or rounds every pixel down, is further off on the
  // whole.
  EXPECT_LT(mean, 4.0);
  EXPECT_LT(std::abs(bias), 1.0);
  EXPECT_LT(errors[errors.size() * 99 / 100], 48.0);
  // A window that takes the picture's size gets it pixel for pixel again.
  plat::setWindowClientSize(w.handle, pw, ph);
  ASSERT_EQ(r.BlitFrame(nullptr, pic.y(), pic.u(), pic.v()), 0);
  const plat::PresentedPicture whole = w.shown();
  ASSERT_EQ(whole.width, pw);
  EXPECT_EQ(whole.pixels, full);
}

struct ClientSize {
  int width, height;
};

TEST(Renderer, TheOsdIsDrawnInPictureCoordinatesWhereverTheWindowShowsThem) {
  DisplayGuard guard;
  TestWindow w;
  HookOwner owner;
  owner.set = false;
  const int pw = 400, ph = 300;
  DdrawRenderer r(&owner);
  FlatPicture black(pw, ph, 16);
  // The audio icon at (300, 50) and a text at (50, 270), in windows of half, of a quarter
  // and of a third by a half the picture's size, and in one twice as large (which gets the
  // picture's own size and grows it as it paints).
  r.SetOsdItem(300, 50, nullptr, 1, kOsdAudioIcon);
  r.SetOsdItem(50, 270, "TEXT", 0, kOsdStatsText);
  for (auto [window, sw, sh] : {std::tuple{ClientSize{200, 150}, 200, 150}, std::tuple{ClientSize{100, 75}, 100, 75},
                                std::tuple{ClientSize{133, 150}, 133, 150}, std::tuple{ClientSize{800, 600}, pw, ph}}) {
    plat::setWindowClientSize(w.handle, window.width, window.height);
    ASSERT_EQ(r.BindWindow(w.handle, pw, ph), 0);
    ASSERT_EQ(r.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
    const plat::PresentedPicture shown = w.shown();
    ASSERT_EQ(shown.width, sw);
    ASSERT_EQ(shown.height, sh);
    auto sx = [&](int x) { return x * sw / pw; };
    auto sy = [&](int y) { return y * sh / ph; };
    const int all = litPixels(shown);
    const int icon = litPixels(shown, sx(301), sy(50), sx(301 + kIconWidth) + 1, sy(50 + kIconHeight) + 1);
    const int text = litPixels(shown, sx(50), sy(270), sx(50 + 12 * 4 + 5) + 1, sy(270 + 24) + 1);
    EXPECT_GT(icon, 0) << sw;
    EXPECT_GT(text, 0) << sw;
    EXPECT_EQ(icon + text, all) << sw << ": nothing drawn elsewhere";
  }
  // The hook's grid rectangle, in percentages of the picture, lands on the same share of
  // the window.
  owner.set = true;
  owner.items = IpcOsdItems{};
  owner.items.enable[0] = 1;
  owner.items.rect[0][0] = 25;
  owner.items.rect[0][1] = 20;
  owner.items.rect[0][2] = 75;
  owner.items.rect[0][3] = 60;
  owner.items.color[0] = 0x00FF00;
  plat::setWindowClientSize(w.handle, 200, 150);
  r.PrepareOsd(pw, ph);
  ASSERT_EQ(r.BlitFrame(nullptr, black.y(), black.u(), black.v()), 0);
  EXPECT_EQ(owner.lastW, pw) << "the hook is asked in picture coordinates";
  const plat::PresentedPicture shown = w.shown();
  auto at = [&](int x, int y) { return shown.pixels[size_t(y) * 200 + x]; };
  for (int x = 50; x <= 150; ++x) ASSERT_EQ(at(x, 30), 0x00FF00u) << x;
  for (int y = 30; y <= 90; ++y) ASSERT_EQ(at(50, y), 0x00FF00u) << y;
  EXPECT_EQ(litPixels(shown, 0, 0, 200, 29), 0);
  EXPECT_EQ(litPixels(shown, 0, 91, 200, 150), 0);
  EXPECT_EQ(litPixels(shown, 0, 0, 49, 150), 0);
  EXPECT_EQ(litPixels(shown, 151, 0, 200, 150), 0);
}

}  // namespace
}  // namespace corvane
