// Pictures scaled to the size a window shows them at, against a reference made here: each
// shown pixel the mean of the picture's pixels under it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "plat/column_shrink.h"
#include "plat/picture_scale.h"

namespace {

// A plane with edges, fine detail and smooth areas, as camera pictures have them.
std::vector<uint8_t> testPlane(int w, int h, int seed) {
  std::vector<uint8_t> p(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double v = 128 + 60 * std::sin((x + seed) / 23.0) * std::cos(y / 17.0);
      if ((x / 64 + y / 48) % 2) v = 40 + (x * 3 + y * 5 + seed) % 7;  // blocks of near-flat dark
      if (x % 97 < 2) v = 235;  // thin bright lines
      p[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
    }
  return p;
}

// The mean of the source pixels each destination pixel covers, weighted by how much of
// each it covers.
std::vector<double> areaMean(const std::vector<uint8_t>& src, int sw, int sh, int dw, int dh) {
  std::vector<double> out(static_cast<size_t>(dw) * dh);
  const double fx = double(sw) / dw, fy = double(sh) / dh;
  for (int y = 0; y < dh; ++y)
    for (int x = 0; x < dw; ++x) {
      const double x0 = x * fx, x1 = (x + 1) * fx, y0 = y * fy, y1 = (y + 1) * fy;
      double sum = 0, weight = 0;
      for (int sy = int(y0); sy < std::min(sh, int(std::ceil(y1))); ++sy) {
        const double wy = std::min(y1, sy + 1.0) - std::max(y0, double(sy));
        for (int sx = int(x0); sx < std::min(sw, int(std::ceil(x1))); ++sx) {
          const double wx = std::min(x1, sx + 1.0) - std::max(x0, double(sx));
          sum += wx * wy * src[static_cast<size_t>(sy) * sw + sx];
          weight += wx * wy;
        }
      }
      out[static_cast<size_t>(y) * dw + x] = sum / weight;
    }
  return out;
}

struct Difference {
  double mean = 0;  // of the absolute differences
  double bias = 0;  // of the signed ones: a scaler that rounds down darkens every picture
  double p99 = 0;   // edges lie a pixel's alignment apart; aliasing shows here
};

Difference compare(const uint8_t* plane, int stride, const std::vector<double>& ref, int w, int h) {
  Difference d;
  std::vector<double> errors;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double e = plane[static_cast<size_t>(y) * stride + x] - ref[static_cast<size_t>(y) * w + x];
      d.bias += e;
      errors.push_back(std::abs(e));
      d.mean += std::abs(e);
    }
  d.mean /= double(w) * h;
  d.bias /= double(w) * h;
  std::sort(errors.begin(), errors.end());
  d.p99 = errors[errors.size() * 99 / 100];
  return d;
}

void expectClose(const Difference& d, const char* plane, int w, int h) {
  EXPECT_LT(d.mean, 6.0) << plane << " " << w << "x" << h;
  EXPECT_LT(std::abs(d.bias), 0.6) << plane << " " << w << "x" << h;
  EXPECT_LT(d.p99, 32.0) << plane << " " << w << "x" << h;
}

TEST(PictureScaler, ShrunkPlanesAreTheMeansOfThePixelsUnderEachShownOne) {
  const int sw = 1920, sh = 1080;
  // Source planes at a stride wider than the picture, as a decoder leaves them.
  const int stride = 1984, cstride = 1024;
  auto y = testPlane(sw, sh, 0), u = testPlane(sw / 2, sh / 2, 11), v = testPlane(sw / 2, sh / 2, 29);
  std::vector<uint8_t> ys(static_cast<size_t>(stride) * sh, 7), us(static_cast<size_t>(cstride) * sh / 2, 7),
      vs(static_cast<size_t>(cstride) * sh / 2, 7);
  for (int r = 0; r < sh; ++r) std::copy_n(&y[size_t(r) * sw], sw, &ys[size_t(r) * stride]);
  for (int r = 0; r < sh / 2; ++r) {
    std::copy_n(&u[size_t(r) * sw / 2], sw / 2, &us[size_t(r) * cstride]);
    std::copy_n(&v[size_t(r) * sw / 2], sw / 2, &vs[size_t(r) * cstride]);
  }
  const plat::I420Planes source{ys.data(), us.data(), vs.data(), stride, cstride, cstride, sw, sh};
  plat::PictureScaler scaler;
  // A grid cell of 16 windows, one of 25, and an odd size.
  for (auto [dw, dh] : {std::pair{415, 188}, std::pair{330, 200}, std::pair{97, 61}}) {
    const plat::I420Planes out = scaler.scale(source, dw, dh);
    ASSERT_FALSE(out.empty());
    ASSERT_EQ(out.width, dw);
    ASSERT_EQ(out.height, dh);
    expectClose(compare(out.y, out.yStride, areaMean(y, sw, sh, dw, dh), dw, dh), "Y", dw, dh);
    const int cw = (dw + 1) / 2, ch = (dh + 1) / 2;
    expectClose(compare(out.u, out.uStride, areaMean(u, sw / 2, sh / 2, cw, ch), cw, ch), "U", dw, dh);
    expectClose(compare(out.v, out.vStride, areaMean(v, sw / 2, sh / 2, cw, ch), cw, ch), "V", dw, dh);
  }
  // The scaler keeps its memory for the next picture: the shown planes, the picture shrunk
  // by a power of two on the way and a plane's rows interpolated before its columns, a few
  // hundred KiB.
  EXPECT_LT(scaler.keptBytes(), size_t{640} * 1024);
}

// The columns' shrink by less than two, which the vector unit does eight pixels at a time:
// every ratio, every row length, the row's last pixels included, pixel for pixel as the plain
// loop; it reads nothing past a row (each row here is a heap block of its own length), keeps
// a flat row flat, a ramp rising and the row's ends at its ends.
TEST(PictureScaler, ColumnShrinkAgreesWithThePlainLoopAndStaysInsideTheRow) {
  plat::detail::ColumnShrink shrink;
  int tried = 0;
  for (int from = 2; from <= 400; from += from < 80 ? 1 : 7) {
    std::vector<uint8_t> row(static_cast<size_t>(from)), flat(static_cast<size_t>(from), 77), ramp(static_cast<size_t>(from));
    for (int x = 0; x < from; ++x) {
      row[size_t(x)] = static_cast<uint8_t>((x * 37 + x * x * 11) % 256);
      ramp[size_t(x)] = static_cast<uint8_t>(x * 255 / (from - 1));
    }
    for (int to = from / 2; to <= from; ++to) {
      if (!plat::detail::ColumnShrink::fits(from, to)) continue;
      shrink.prepare(from, to);
      std::vector<uint8_t> fast(static_cast<size_t>(to)), plain(static_cast<size_t>(to));
      shrink.row(row.data(), fast.data());
      shrink.rowPlain(row.data(), plain.data());
      ASSERT_EQ(fast, plain) << from << " -> " << to;
      shrink.row(flat.data(), fast.data());
      ASSERT_TRUE(std::all_of(fast.begin(), fast.end(), [](uint8_t p) { return p == 77; })) << from << " -> " << to;
      shrink.row(ramp.data(), fast.data());
      ASSERT_TRUE(std::is_sorted(fast.begin(), fast.end())) << from << " -> " << to;
      // The row's ends stay its ends: the first and last pixels shown lie within one pixel.
      ASSERT_LE(fast.front(), ramp[1]) << from << " -> " << to;
      ASSERT_GE(fast.back(), ramp[size_t(from) - 2]) << from << " -> " << to;
      ++tried;
    }
  }
  EXPECT_GT(tried, 5000);
  EXPECT_FALSE(plat::detail::ColumnShrink::fits(200, 100)) << "halving is the box filter's";
  EXPECT_FALSE(plat::detail::ColumnShrink::fits(1, 1));
}

TEST(PictureScaler, GrownPlanesFollowThePictureAndEmptyInputGivesNothing) {
  const int sw = 176, sh = 144;
  auto y = testPlane(sw, sh, 3), u = testPlane(sw / 2, sh / 2, 5), v = testPlane(sw / 2, sh / 2, 9);
  const plat::I420Planes source{y.data(), u.data(), v.data(), sw, sw / 2, sw / 2, sw, sh};
  plat::PictureScaler scaler;
  const plat::I420Planes out = scaler.scale(source, 2 * sw, 2 * sh);
  ASSERT_FALSE(out.empty());
  // Each source pixel's value is found again about the centre of the four it became.
  double err = 0;
  for (int r = 0; r < sh; ++r)
    for (int c = 0; c < sw; ++c) {
      const double grown = (out.y[size_t(2 * r) * out.yStride + 2 * c] + out.y[size_t(2 * r + 1) * out.yStride + 2 * c + 1] +
                            out.y[size_t(2 * r) * out.yStride + 2 * c + 1] + out.y[size_t(2 * r + 1) * out.yStride + 2 * c]) /
                           4.0;
      err += std::abs(grown - y[size_t(r) * sw + c]);
    }
  EXPECT_LT(err / (sw * sh), 6.0);
  EXPECT_TRUE(scaler.scale(plat::I420Planes{}, 10, 10).empty());
  EXPECT_TRUE(scaler.scale(source, 0, 10).empty());
}

}  // namespace
