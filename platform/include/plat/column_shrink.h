#pragma once
// Rows shrunk by a ratio between 1 and 2 with the two nearest pixels under each shown one,
// weighted by distance. What a picture's planes need after they were halved to just above
// a window's width; a byte shuffle picks both pixels of eight shown ones at once, where the
// general-purpose filters fetch them one at a time.
#include <cstdint>
#include <vector>

namespace plat::detail {

class ColumnShrink {
 public:
  // Whether rows of `from` pixels can be shown as `to` here: to <= from < 2 * to.
  static bool fits(int from, int to) { return to >= 1 && from >= 2 && from >= to && from < 2 * to; }
  // Prepares for rows of `from` pixels shown as `to` (fits(from, to)); kept while they stay.
  void prepare(int from, int to);
  // One row: `src` holds `from` pixels, `dst` gets `to`. Reads no byte past src[from - 1].
  void row(const uint8_t* src, uint8_t* dst) const;
  // The same without the vector unit, pixel for pixel equal.
  void rowPlain(const uint8_t* src, uint8_t* dst) const;

 private:
  int from_ = 0, to_ = 0;
  // For each group of eight shown pixels: the first source pixel, 16 shuffle indices (each
  // shown pixel's two source pixels, from that first one) and 16 weights (64 in all a pair).
  std::vector<int> base_;
  std::vector<uint8_t> shuffle_;
  std::vector<int8_t> weights_;
};

}  // namespace plat::detail
