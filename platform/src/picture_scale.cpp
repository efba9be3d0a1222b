#include "plat/picture_scale.h"

#include <libyuv/scale.h>

#include "plat/column_shrink.h"

namespace plat {
namespace {

// Rows of the planes made here start on cache lines, as the converter's input rows best do.
int lineStride(int width) {
  return static_cast<int>((static_cast<size_t>(width) + kCacheLine - 1) / kCacheLine * kCacheLine);
}

// Planes of `width` x `height` in `memory` (grown as needed).
I420Planes planesIn(AlignedBytes& memory, int width, int height) {
  I420Planes p;
  p.width = width;
  p.height = height;
  p.yStride = lineStride(width);
  p.uStride = p.vStride = lineStride((width + 1) / 2);
  const size_t luma = static_cast<size_t>(p.yStride) * height;
  const size_t chroma = static_cast<size_t>(p.uStride) * ((height + 1) / 2);
  if (memory.size() < luma + 2 * chroma) memory.resize(luma + 2 * chroma);
  p.y = memory.data();
  p.u = memory.data() + luma;
  p.v = memory.data() + luma + chroma;
  return p;
}

// One plane interpolated to `to` x `toHeight` from `from` x `fromHeight` in two steps: the rows
// first (libyuv, which blends two whole rows at a time), then the columns by the shrink of
// our own, into `rows` (a plane of `from` x `toHeight`).
void shrinkPlane(const uint8_t* src, int srcStride, int from, int fromHeight, uint8_t* dst, int dstStride, int to,
                 int toHeight, AlignedBytes& rows, detail::ColumnShrink& columns) {
  const int rowsStride = lineStride(from);
  const size_t bytes = static_cast<size_t>(rowsStride) * toHeight;
  if (rows.size() < bytes) rows.resize(bytes);
  libyuv::ScalePlane(src, srcStride, from, fromHeight, rows.data(), rowsStride, from, toHeight,
                     libyuv::kFilterBilinear);
  columns.prepare(from, to);
  for (int y = 0; y < toHeight; ++y)
    columns.row(rows.data() + static_cast<size_t>(y) * rowsStride, dst + static_cast<size_t>(y) * dstStride);
}

bool scaleInto(const I420Planes& from, const I420Planes& to, libyuv::FilterMode filter) {
  return libyuv::I420Scale(from.y, from.yStride, from.u, from.uStride, from.v, from.vStride, from.width,
                           from.height, const_cast<uint8_t*>(to.y), to.yStride, const_cast<uint8_t*>(to.u),
                           to.uStride, const_cast<uint8_t*>(to.v), to.vStride, to.width, to.height, filter) == 0;
}

}  // namespace

// Shrinking by a power of two averages each 2 x 2, 4 x 4 ... square exactly and fast; what is
// left, less than half, is interpolated, which at that ratio misses no detail. (A box of any
// ratio costs three times as much here and rounds every pixel down.)
I420Planes PictureScaler::scale(const I420Planes& source, int width, int height) {
  if (source.empty() || width <= 0 || height <= 0) return {};
  int k = 1;
  while (source.width / (2 * k) >= width && source.height / (2 * k) >= height) k *= 2;
  I420Planes from = source;
  if (k > 1) {
    from = planesIn(halved_, source.width / k, source.height / k);
    if (!scaleInto(source, from, libyuv::kFilterBox)) return {};
  }
  const I420Planes out = planesIn(memory_, width, height);
  if (from.width == width && from.height == height) return from;
  const int fromChromaWidth = (from.width + 1) / 2, toChromaWidth = (width + 1) / 2;
  if (height <= from.height && detail::ColumnShrink::fits(from.width, width) &&
      detail::ColumnShrink::fits(fromChromaWidth, toChromaWidth)) {
    shrinkPlane(from.y, from.yStride, from.width, from.height, const_cast<uint8_t*>(out.y), out.yStride, width,
                height, rows_, lumaColumns_);
    const int fromChromaHeight = (from.height + 1) / 2, toChromaHeight = (height + 1) / 2;
    shrinkPlane(from.u, from.uStride, fromChromaWidth, fromChromaHeight, const_cast<uint8_t*>(out.u), out.uStride,
                toChromaWidth, toChromaHeight, rows_, chromaColumns_);
    shrinkPlane(from.v, from.vStride, fromChromaWidth, fromChromaHeight, const_cast<uint8_t*>(out.v), out.vStride,
                toChromaWidth, toChromaHeight, rows_, chromaColumns_);
    return out;
  }
  if (!scaleInto(from, out, libyuv::kFilterBilinear)) return {};
  return out;
}

}  // namespace plat
