// The I420 to RGB converters: accuracy against BT.601, identical pixels on every SIMD level,
// and the edges of odd sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "plat/aligned_bytes.h"
#include "video/yuv_convert.h"

namespace corvane {
namespace {

struct Picture {
  int w, h;
  std::vector<uint8_t> y, u, v;
  Picture(int width, int height, unsigned seed) : w(width), h(height) {
    std::mt19937 rng(seed);
    y.resize(static_cast<size_t>(w) * h);
    u.resize(static_cast<size_t>(w / 2) * (h / 2));
    v.resize(u.size());
    for (auto& p : y) p = static_cast<uint8_t>(rng());
    for (auto& p : u) p = static_cast<uint8_t>(rng());
    for (auto& p : v) p = static_cast<uint8_t>(rng());
  }
};

int bpp(int code) { return code == kPixelRgb32 ? 4 : code == kPixelRgb24 ? 3 : 2; }

// Surface memory with guard bytes after every row and after the last. Rows start on a cache
// line (where 32-bit rows are streamed) unless `shift` moves them off it.
struct Surface {
  int pitch, h, shift;
  plat::AlignedBytes store;
  std::vector<uint8_t> mem;
  Surface(int code, int w, int height, int shiftBy = 0)
      : pitch((w * bpp(code) + 8 + 63) / 64 * 64), h(height), shift(shiftBy),
        store(static_cast<size_t>(pitch) * (h + 1) + 64, 0xA5) {}
  uint8_t* bits() { return store.data() + shift; }
  // The rows as the converter left them, for comparison and guard checks.
  void read() { mem.assign(bits(), bits() + static_cast<size_t>(pitch) * (h + 1)); }
};

void convert(int code, const Picture& p, Surface& s) {
  ASSERT_TRUE(convertI420(code, p.y.data(), p.u.data(), p.v.data(), p.w, p.h, s.bits(), s.pitch));
  s.read();
}

// The reference: BT.601 studio swing in floating point (luma below black counts as black).
void reference(int y, int u, int v, double* r, double* g, double* b) {
  const double yy = 1.164383 * std::max(y - 16, 0), uu = u - 128.0, vv = v - 128.0;
  *r = std::clamp(yy + 1.596027 * vv, 0.0, 255.0);
  *g = std::clamp(yy - 0.391762 * uu - 0.812968 * vv, 0.0, 255.0);
  *b = std::clamp(yy + 2.017232 * uu, 0.0, 255.0);
}

TEST(Converter, EveryFormatFollowsBt601) {
  Picture p(64, 32, 7);
  for (int code : {kPixelRgb32, kPixelRgb24, kPixelRgb565, kPixelRgb555}) {
    Surface s(code, p.w, p.h);
    convert(code, p, s);
    double worst = 0;
    for (int r = 0; r < p.h; ++r)
      for (int c = 0; c < p.w; ++c) {
        const uint8_t* d = s.mem.data() + r * s.pitch + c * bpp(code);
        int y = p.y[r * p.w + c], u = p.u[(r / 2) * (p.w / 2) + c / 2], v = p.v[(r / 2) * (p.w / 2) + c / 2];
        double R, G, B;
        reference(y, u, v, &R, &G, &B);
        double gr, gg, gb, tol;
        if (code == kPixelRgb32 || code == kPixelRgb24) {
          gb = d[0], gg = d[1], gr = d[2];
          tol = 4;
          if (code == kPixelRgb32) {
            ASSERT_EQ(d[3], 0);
          }
        } else {
          int px = d[0] | d[1] << 8;
          if (code == kPixelRgb565) {
            ASSERT_EQ(px & 0x20, 0) << "green's low bit stays clear";
            gr = (px >> 11) << 3, gg = ((px >> 6) & 31) << 3, gb = (px & 31) << 3;
          } else {
            ASSERT_EQ(px & 0x8000, 0);
            gr = (px >> 10 & 31) << 3, gg = ((px >> 5) & 31) << 3, gb = (px & 31) << 3;
          }
          tol = 12;  // five bits per channel, truncated
        }
        worst = std::max({worst, std::abs(gr - R), std::abs(gg - G), std::abs(gb - B)});
        ASSERT_NEAR(gr, R, tol) << code << " at " << c << "," << r;
        ASSERT_NEAR(gg, G, tol) << code << " at " << c << "," << r;
        ASSERT_NEAR(gb, B, tol) << code << " at " << c << "," << r;
      }
    EXPECT_GT(worst, 0.0);
  }
  // Fixed points of the coefficients.
  EXPECT_EQ(convertPixel(16, 128, 128), 0x000000u);
  EXPECT_EQ(convertPixel(235, 128, 128), 0xFFFFFFu);
  EXPECT_EQ(convertPixel(81, 90, 240) >> 16, 254u) << "pure red";
}

TEST(Converter, SimdLevelsGiveIdenticalPixels) {
  const SimdLevel best = bestSimdLevel();
  for (int code : {kPixelRgb32, kPixelRgb24, kPixelRgb565, kPixelRgb555}) {
    for (int w : {1, 2, 7, 8, 9, 15, 16, 17, 31, 33, 47, 64, 66}) {
      for (int h : {1, 2, 3, 5}) {
        Picture p(w, h, static_cast<unsigned>(w * 31 + h));
        std::vector<std::vector<uint8_t>> outs;
        // AVX2 streams rows that start on a cache line and stores the others plainly.
        for (int shift : {0, 16})
          for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
            forceSimdLevel(level);
            Surface s(code, w, h, shift);
            convert(code, p, s);
            outs.push_back(s.mem);
          }
        for (size_t i = 1; i < outs.size(); ++i)
          EXPECT_EQ(outs[0], outs[i]) << "level/shift " << i << " code " << code << " " << w << "x" << h;
      }
    }
  }
  forceSimdLevel(best);
}

TEST(Converter, ConvertsEveryColumnAndOnlyThePicturesRows) {
  Picture p(13, 5, 3);  // 13 = 8 + 5 columns; 5 rows, the last without a partner
  for (int code : {kPixelRgb32, kPixelRgb24, kPixelRgb565, kPixelRgb555}) {
    Surface s(code, p.w, p.h);
    convert(code, p, s);
    const int rowBytes = p.w * bpp(code);
    for (int r = 0; r < p.h; ++r) {
      for (int b = rowBytes; b < s.pitch; ++b) ASSERT_EQ(s.mem[r * s.pitch + b], 0xA5) << "past the row";
      // The last column holds the converted pixel, not the old contents.
      const uint8_t* d = s.mem.data() + r * s.pitch + (p.w - 1) * bpp(code);
      Surface one(code, 1, 1);
      uint8_t y = p.y[r * p.w + p.w - 1];
      uint8_t u = p.u[std::min(r / 2, 1) * (p.w / 2) + (p.w / 2 - 1)];
      uint8_t v = p.v[std::min(r / 2, 1) * (p.w / 2) + (p.w / 2 - 1)];
      ASSERT_TRUE(convertI420(code, &y, &u, &v, 1, 1, one.bits(), one.pitch));
      // A 1 x 1 picture has no chroma plane; compare through the pixel function instead.
      uint32_t want = convertPixel(y, u, v);
      uint32_t got = code == kPixelRgb32 || code == kPixelRgb24
                         ? (d[2] << 16 | d[1] << 8 | d[0])
                         : want;  // 16-bit packing is checked by the accuracy test
      EXPECT_EQ(got, want) << "row " << r;
    }
    for (int b = p.h * s.pitch; b < static_cast<int>(s.mem.size()); ++b)
      ASSERT_EQ(s.mem[b], 0xA5) << "a row beyond an odd height was written";
  }
  EXPECT_FALSE(convertI420(0, p.y.data(), p.u.data(), p.v.data(), 8, 2, nullptr, 0));
  EXPECT_FALSE(convertI420(5, p.y.data(), p.u.data(), p.v.data(), 8, 2, nullptr, 0));
}

TEST(Converter, StreamedPlaneCopyPacksEveryRowWhateverTheWidthAndAlignment) {
  std::mt19937 rng(11);
  for (int width : {1, 15, 16, 17, 63, 64, 65, 127, 130, 352}) {
    // Offsets from a cache line: only whole lines are streamed, the rest copied plainly.
    for (int offset : {1, 8, 15, 16, 33, 48, 63, 64}) {
      const int rows = 5, stride = width + 32;
      std::vector<uint8_t> src(static_cast<size_t>(stride) * rows);
      for (auto& b : src) b = static_cast<uint8_t>(rng());
      // A guard byte on either side of the packed rows.
      plat::AlignedBytes dst(static_cast<size_t>(width) * rows + 64 + 2, 0xA5);
      uint8_t* d = dst.data() + offset;
      copyPlaneStreamed(src.data(), stride, width, rows, d);
      for (int r = 0; r < rows; ++r)
        for (int c = 0; c < width; ++c)
          ASSERT_EQ(d[r * width + c], src[static_cast<size_t>(r) * stride + c]) << width << " " << offset;
      EXPECT_EQ(d[-1], 0xA5);
      EXPECT_EQ(d[width * rows], 0xA5);
    }
  }
}

}  // namespace
}  // namespace corvane
