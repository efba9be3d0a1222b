#include "plat/column_shrink.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace plat::detail {
namespace {

constexpr int kGroup = 8;
constexpr int kWeightBits = 6;
constexpr int kWeightSum = 1 << kWeightBits;

bool haveSsse3() {
  static const bool have = __builtin_cpu_supports("ssse3");
  return have;
}

__attribute__((target("ssse3"))) void rowSsse3(const uint8_t* src, int from, uint8_t* dst, int to,
                                               const int* base, const uint8_t* shuffle, const int8_t* weights) {
  const __m128i round = _mm_set1_epi16(kWeightSum / 2);
  uint8_t tail[16];
  for (int g = 0, x = 0; x < to; ++g, x += kGroup) {
    const uint8_t* at = src + base[g];
    if (base[g] + 16 > from) {
      // Near the row's end the 16 bytes are copied first: nothing past the row is read.
      const int left = from - base[g];
      std::memcpy(tail, at, static_cast<size_t>(left));
      std::memset(tail + left, at[left - 1], static_cast<size_t>(16 - left));
      at = tail;
    }
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i pairs = _mm_shuffle_epi8(pixels, _mm_loadu_si128(reinterpret_cast<const __m128i*>(shuffle + 16 * g)));
    __m128i sums = _mm_maddubs_epi16(pairs, _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 16 * g)));
    sums = _mm_srli_epi16(_mm_add_epi16(sums, round), kWeightBits);
    const __m128i bytes = _mm_packus_epi16(sums, sums);
    if (to - x >= kGroup) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + x), bytes);
    } else {
      uint8_t out[16];
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
      std::memcpy(dst + x, out, static_cast<size_t>(to - x));
    }
  }
}

}  // namespace

void ColumnShrink::prepare(int from, int to) {
  if (from == from_ && to == to_) return;
  from_ = from;
  to_ = to;
  const int groups = (to + kGroup - 1) / kGroup;
  base_.assign(static_cast<size_t>(groups), 0);
  shuffle_.assign(static_cast<size_t>(groups) * 16, 0);
  weights_.assign(static_cast<size_t>(groups) * 16, 0);
  // Each shown pixel's centre, in source pixels, in 16.16 fixed point: (x + 0.5) * from / to
  // - 0.5; its left neighbour and the distance to it give the pair and the weights.
  const int64_t step = (int64_t{from} << 16) / to;
  for (int x = 0; x < to; ++x) {
    int64_t centre = (x * step) + step / 2 - (1 << 15);
    centre = std::clamp<int64_t>(centre, 0, int64_t{from - 1} << 16);
    int left = static_cast<int>(centre >> 16);
    int right = static_cast<int>(((centre & 0xFFFF) * kWeightSum + (1 << 15)) >> 16);
    if (left >= from - 1) {  // the last pixel: the pair is the one before it and itself
      left = from - 2;
      right = kWeightSum;
    }
    const int g = x / kGroup, j = x % kGroup;
    if (j == 0) base_[static_cast<size_t>(g)] = left;
    const int offset = left - base_[static_cast<size_t>(g)];
    shuffle_[static_cast<size_t>(g) * 16 + 2 * j] = static_cast<uint8_t>(offset);
    shuffle_[static_cast<size_t>(g) * 16 + 2 * j + 1] = static_cast<uint8_t>(offset + 1);
    weights_[static_cast<size_t>(g) * 16 + 2 * j] = static_cast<int8_t>(kWeightSum - right);
    weights_[static_cast<size_t>(g) * 16 + 2 * j + 1] = static_cast<int8_t>(right);
  }
}

void ColumnShrink::row(const uint8_t* src, uint8_t* dst) const {
  if (!haveSsse3()) {
    rowPlain(src, dst);
    return;
  }
  rowSsse3(src, from_, dst, to_, base_.data(), shuffle_.data(), weights_.data());
}

void ColumnShrink::rowPlain(const uint8_t* src, uint8_t* dst) const {
  for (int x = 0; x < to_; ++x) {
    const size_t at = static_cast<size_t>(x / kGroup) * 16 + 2 * static_cast<size_t>(x % kGroup);
    const uint8_t* p = src + base_[static_cast<size_t>(x / kGroup)];
    const int sum = p[shuffle_[at]] * weights_[at] + p[shuffle_[at + 1]] * weights_[at + 1];
    dst[x] = static_cast<uint8_t>(std::min(255, (sum + kWeightSum / 2) >> kWeightBits));
  }
}

}  // namespace plat::detail
