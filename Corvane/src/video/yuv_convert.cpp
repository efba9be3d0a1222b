#include "video/yuv_convert.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "plat/aligned_bytes.h"
#include "plat/bytes.h"

namespace corvane {
namespace {

// Coefficients in 1/8192: luma gain, red from V, green from U and V, blue from U. Each
// product is the high half of (value x 8) x coefficient, as a 16-bit multiply-high gives it.
constexpr int16_t kYGain = 0x2568;
constexpr int16_t kRV = 0x3343;
constexpr int16_t kGU = -3218;  // 0xF36E
constexpr int16_t kGV = -6686;  // 0xE5E2
constexpr int16_t kBU = 0x40CF;

inline int mulhi(int a, int16_t c) { return (a * c) >> 16; }
inline int sat16(int x) { return std::clamp(x, -32768, 32767); }
inline uint8_t clamp8(int x) { return static_cast<uint8_t>(std::clamp(x, 0, 255)); }

struct Rgb {
  uint8_t r, g, b;
};

inline Rgb pixel(int y, int u, int v) {
  int yp = mulhi(std::max(y - 16, 0) * 8, kYGain);
  int uu = (u - 128) * 8, vv = (v - 128) * 8;
  return {clamp8(sat16(yp + mulhi(vv, kRV))),
          clamp8(sat16(sat16(yp + mulhi(uu, kGU)) + mulhi(vv, kGV))),
          clamp8(sat16(yp + mulhi(uu, kBU)))};
}

inline void store(int code, uint8_t* d, Rgb c) {
  switch (code) {
    case kPixelRgb32: d[0] = c.b; d[1] = c.g; d[2] = c.r; d[3] = 0; break;
    case kPixelRgb24: d[0] = c.b; d[1] = c.g; d[2] = c.r; break;
    case kPixelRgb565: {
      uint16_t p = static_cast<uint16_t>((c.r >> 3) << 11 | (c.g >> 3) << 6 | (c.b >> 3));
      plat::putLe16(d, p);
      break;
    }
    default: {  // 5-5-5
      uint16_t p = static_cast<uint16_t>((c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3));
      plat::putLe16(d, p);
      break;
    }
  }
}

int bytesPerPixel(int code) { return code == kPixelRgb32 ? 4 : code == kPixelRgb24 ? 3 : 2; }

// Columns [from, width) of one row, one pixel at a time. Chroma columns are limited to the
// chroma row, so an odd width never reads past it.
void rowScalar(int code, const uint8_t* y, const uint8_t* u, const uint8_t* v, int from,
               int width, int cw, uint8_t* dst) {
  const int bpp = bytesPerPixel(code);
  for (int x = from; x < width; ++x) {
    int cx = std::min(x / 2, cw - 1);
    store(code, dst + x * bpp, pixel(y[x], u[cx], v[cx]));
  }
}

// ---- SSE2: eight pixels per step ----
struct Terms128 {
  __m128i r, g, b;  // 16-bit lanes, not yet clamped
};

inline Terms128 terms8(const uint8_t* y, const uint8_t* u, const uint8_t* v) {
  const __m128i zero = _mm_setzero_si128();
  __m128i yy = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y)), zero);
  yy = _mm_slli_epi16(_mm_subs_epu16(yy, _mm_set1_epi16(16)), 3);
  __m128i yp = _mm_mulhi_epi16(yy, _mm_set1_epi16(kYGain));
  int u4, v4;
  __builtin_memcpy(&u4, u, 4);
  __builtin_memcpy(&v4, v, 4);
  __m128i uu = _mm_unpacklo_epi8(_mm_cvtsi32_si128(u4), zero);
  __m128i vv = _mm_unpacklo_epi8(_mm_cvtsi32_si128(v4), zero);
  uu = _mm_slli_epi16(_mm_sub_epi16(uu, _mm_set1_epi16(128)), 3);
  vv = _mm_slli_epi16(_mm_sub_epi16(vv, _mm_set1_epi16(128)), 3);
  uu = _mm_unpacklo_epi16(uu, uu);  // each chroma sample serves two pixels
  vv = _mm_unpacklo_epi16(vv, vv);
  Terms128 t;
  t.r = _mm_adds_epi16(yp, _mm_mulhi_epi16(vv, _mm_set1_epi16(kRV)));
  t.g = _mm_adds_epi16(_mm_adds_epi16(yp, _mm_mulhi_epi16(uu, _mm_set1_epi16(kGU))),
                       _mm_mulhi_epi16(vv, _mm_set1_epi16(kGV)));
  t.b = _mm_adds_epi16(yp, _mm_mulhi_epi16(uu, _mm_set1_epi16(kBU)));
  return t;
}

inline __m128i clamp128(__m128i x) {
  return _mm_min_epi16(_mm_max_epi16(x, _mm_setzero_si128()), _mm_set1_epi16(255));
}

inline void store8(int code, uint8_t* d, Terms128 t) {
  __m128i r = clamp128(t.r), g = clamp128(t.g), b = clamp128(t.b);
  switch (code) {
    case kPixelRgb32: {
      __m128i bg = _mm_or_si128(b, _mm_slli_epi16(g, 8));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi16(bg, r));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), _mm_unpackhi_epi16(bg, r));
      break;
    }
    case kPixelRgb565:
    case kPixelRgb555: {
      const __m128i top5 = _mm_set1_epi16(0xF8);
      __m128i p = _mm_srli_epi16(b, 3);
      if (code == kPixelRgb565) {
        p = _mm_or_si128(p, _mm_slli_epi16(_mm_and_si128(g, top5), 3));
        p = _mm_or_si128(p, _mm_slli_epi16(_mm_and_si128(r, top5), 8));
      } else {
        p = _mm_or_si128(p, _mm_slli_epi16(_mm_and_si128(g, top5), 2));
        p = _mm_or_si128(p, _mm_slli_epi16(_mm_and_si128(r, top5), 7));
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), p);
      break;
    }
    default: {  // 24-bit: no cheap shuffle in SSE2, store from the lanes
      alignas(16) uint16_t rs[8], gs[8], bs[8];
      _mm_store_si128(reinterpret_cast<__m128i*>(rs), r);
      _mm_store_si128(reinterpret_cast<__m128i*>(gs), g);
      _mm_store_si128(reinterpret_cast<__m128i*>(bs), b);
      for (int i = 0; i < 8; ++i) {
        d[3 * i] = static_cast<uint8_t>(bs[i]);
        d[3 * i + 1] = static_cast<uint8_t>(gs[i]);
        d[3 * i + 2] = static_cast<uint8_t>(rs[i]);
      }
      break;
    }
  }
}

int rowSse2(int code, const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
            uint8_t* dst) {
  const int bpp = bytesPerPixel(code);
  int x = 0;
  for (; x + 8 <= width; x += 8) store8(code, dst + x * bpp, terms8(y + x, u + x / 2, v + x / 2));
  return x;
}

// ---- AVX2: sixteen pixels and two rows per step (32-bit output; other formats go
// through SSE2). The two rows share one chroma row, so its terms are formed once.
// A live picture comes from memory and its output is not read again soon: the next rows'
// bytes are fetched ahead, and whole output lines are written around the caches (no read
// of the old line first), which is what a picture that is not in cache waits on.
constexpr int kPrefetchLuma = 1024;
constexpr int kPrefetchChroma = kPrefetchLuma / 2;
template <bool kStream>
__attribute__((target("avx2"))) inline void store16Rgb32(__m256i yp, __m256i rv, __m256i guv,
                                                        __m256i bu, uint8_t* dst) {
  __m256i r = _mm256_adds_epi16(yp, rv);
  __m256i g = _mm256_adds_epi16(yp, guv);
  __m256i b = _mm256_adds_epi16(yp, bu);
  // Saturating packs clamp to 0..255: [b0-7 r0-7 | b8-15 r8-15] and [g0-7 0 | g8-15 0].
  __m256i br = _mm256_packus_epi16(b, r);
  __m256i g0 = _mm256_packus_epi16(g, _mm256_setzero_si256());
  __m256i bg = _mm256_unpacklo_epi8(br, g0);   // b g pairs
  __m256i r0 = _mm256_unpackhi_epi8(br, g0);   // r 0 pairs
  __m256i lo = _mm256_unpacklo_epi16(bg, r0);  // pixels 0-3 | 8-11
  __m256i hi = _mm256_unpackhi_epi16(bg, r0);  // pixels 4-7 | 12-15
  if constexpr (kStream) {  // `dst` starts a cache line: its four quarters fill it whole
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(lo));
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 16), _mm256_castsi256_si128(hi));
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 32), _mm256_extracti128_si256(lo, 1));
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 48), _mm256_extracti128_si256(hi, 1));
  } else {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_permute2x128_si256(lo, hi, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 32), _mm256_permute2x128_si256(lo, hi, 0x31));
  }
}

__attribute__((target("avx2"))) inline __m256i luma16(const uint8_t* y) {
  __m256i yy = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)));
  yy = _mm256_slli_epi16(_mm256_subs_epu16(yy, _mm256_set1_epi16(16)), 3);
  return _mm256_mulhi_epi16(yy, _mm256_set1_epi16(kYGain));
}

// The chroma terms of sixteen pixels: red from V, green from U and V, blue from U.
struct ChromaTerms16 {
  __m256i rv, guv, bu;
};

__attribute__((target("avx2"))) inline ChromaTerms16 chroma16(const uint8_t* u, const uint8_t* v) {
  const __m256i c128 = _mm256_set1_epi16(128);
  __m128i u8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u));
  __m128i v8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v));
  // Duplicate each chroma byte for its two pixels, then widen.
  __m256i uu = _mm256_cvtepu8_epi16(_mm_unpacklo_epi8(u8, u8));
  __m256i vv = _mm256_cvtepu8_epi16(_mm_unpacklo_epi8(v8, v8));
  uu = _mm256_slli_epi16(_mm256_sub_epi16(uu, c128), 3);
  vv = _mm256_slli_epi16(_mm256_sub_epi16(vv, c128), 3);
  ChromaTerms16 t;
  t.rv = _mm256_mulhi_epi16(vv, _mm256_set1_epi16(kRV));
  // The two green terms never reach the 16-bit limits, so adding them first gives the
  // same sums as adding them to luma one after the other.
  t.guv = _mm256_adds_epi16(_mm256_mulhi_epi16(uu, _mm256_set1_epi16(kGU)),
                            _mm256_mulhi_epi16(vv, _mm256_set1_epi16(kGV)));
  t.bu = _mm256_mulhi_epi16(uu, _mm256_set1_epi16(kBU));
  return t;
}

// The first row of a pair: forms the chroma terms, keeps them in `scratch` (three vectors
// per sixteen pixels) for the second row, and converts. Returns the columns done.
template <bool kStream>
__attribute__((target("avx2"))) int rowFirstAvx2Rgb32(const uint8_t* y, const uint8_t* u,
                                                      const uint8_t* v, int width, uint8_t* d,
                                                      __m256i* scratch) {
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    _mm_prefetch(reinterpret_cast<const char*>(y + x + kPrefetchLuma), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(u + x / 2 + kPrefetchChroma), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(v + x / 2 + kPrefetchChroma), _MM_HINT_T0);
    const ChromaTerms16 t = chroma16(u + x / 2, v + x / 2);
    if (scratch) {
      __m256i* keep = scratch + x / 16 * 3;
      _mm256_store_si256(keep, t.rv);
      _mm256_store_si256(keep + 1, t.guv);
      _mm256_store_si256(keep + 2, t.bu);
    }
    store16Rgb32<kStream>(luma16(y + x), t.rv, t.guv, t.bu, d + 4 * x);
  }
  return x;
}

// The second row of a pair, from the terms the first one kept.
template <bool kStream>
__attribute__((target("avx2"))) int rowSecondAvx2Rgb32(const uint8_t* y, int width, uint8_t* d,
                                                       const __m256i* scratch) {
  int x = 0;
  for (; x + 16 <= width; x += 16, scratch += 3) {
    _mm_prefetch(reinterpret_cast<const char*>(y + x + kPrefetchLuma), _MM_HINT_T0);
    store16Rgb32<kStream>(luma16(y + x), _mm256_load_si256(scratch), _mm256_load_si256(scratch + 1),
                 _mm256_load_si256(scratch + 2), d + 4 * x);
  }
  return x;
}

// Scratch for the chroma terms of one row, kept per thread so no call allocates once a
// thread has converted its widest picture.
__m256i* chromaScratch(int width) {
  struct Scratch {
    void* data = nullptr;
    int width = 0;
    ~Scratch() { std::free(data); }
  };
  thread_local Scratch s;
  if (s.width < width) {
    std::free(s.data);
    s.data = std::aligned_alloc(32, static_cast<size_t>(width / 16 + 1) * 3 * 32);
    s.width = s.data ? width : 0;
  }
  return static_cast<__m256i*>(s.data);
}

SimdLevel detect() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return SimdLevel::Avx2;
  return SimdLevel::Sse2;  // every x86-64 processor has SSE2
}

std::atomic<SimdLevel> g_level{detect()};

}  // namespace

SimdLevel bestSimdLevel() { return detect(); }

void forceSimdLevel(SimdLevel level) { g_level = std::min(level, detect()); }

SimdLevel simdLevel() { return g_level; }

uint32_t convertPixel(int y, int u, int v) {
  Rgb c = pixel(y, u, v);
  return static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | c.b;
}

void copyPlaneStreamed(const uint8_t* src, int srcStride, int width, int rows, uint8_t* dst) {
  if (!src || !dst || width <= 0 || rows <= 0) return;
  for (int r = 0; r < rows; ++r) {
    const uint8_t* s = src + static_cast<ptrdiff_t>(r) * srcStride;
    uint8_t* d = dst + static_cast<size_t>(r) * width;
    // Only whole cache lines are streamed: a streamed store that fills part of a line makes
    // the processor write that line in pieces, several times slower than a plain copy. The
    // partial lines at each end of a row are copied plainly.
    const int head = static_cast<int>((plat::kCacheLine - reinterpret_cast<uintptr_t>(d) % plat::kCacheLine) %
                                      plat::kCacheLine);
    int x = std::min(width, head);
    std::memcpy(d, s, static_cast<size_t>(x));
    for (; x + 64 <= width; x += 64) {
      _mm_prefetch(reinterpret_cast<const char*>(s + x + 512), _MM_HINT_T0);
      for (int k = 0; k < 64; k += 16)
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + x + k),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x + k)));
    }
    std::memcpy(d + x, s + x, static_cast<size_t>(width - x));
  }
  _mm_sfence();  // the streamed lines are seen by whoever is handed the picture
}

bool convertI420(int code, const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
                 int height, uint8_t* dst, int pitch) {
  return convertI420(code, plat::I420Planes::packed(y, u, v, width, height), dst, pitch);
}

bool convertI420(int code, const plat::I420Planes& planes, uint8_t* dst, int pitch) {
  if (code < kPixelRgb555 || code > kPixelRgb32) return false;
  const uint8_t *y = planes.y, *u = planes.u, *v = planes.v;
  const int width = planes.width, height = planes.height;
  if (!y || !u || !v || !dst || width <= 0 || height <= 0) return true;
  const SimdLevel level = g_level;
  const int cw = width / 2, ch = height / 2;
  // A picture one pixel wide or high has no chroma plane: it is drawn grey-neutral.
  static const uint8_t kNeutral[1] = {128};
  bool streamed = false;
  for (int r = 0; r < height; r += 2) {
    // The last row of an odd height shares the chroma row above it.
    const size_t crow = static_cast<size_t>(std::min(r / 2, std::max(ch - 1, 0)));
    const bool noChroma = cw == 0 || ch == 0;
    const uint8_t* ur = noChroma ? kNeutral : u + crow * static_cast<size_t>(planes.uStride);
    const uint8_t* vr = noChroma ? kNeutral : v + crow * static_cast<size_t>(planes.vStride);
    const bool pair = r + 1 < height;
    // Memory is walked one row at a time; the pair's second row reuses the chroma terms
    // the first one formed.
    const bool avx2 = level == SimdLevel::Avx2 && code == kPixelRgb32 && !noChroma;
    __m256i* scratch = avx2 && pair ? chromaScratch(width) : nullptr;
    for (int rr = r; rr < r + (pair ? 2 : 1); ++rr) {
      const uint8_t* yr = y + static_cast<size_t>(rr) * planes.yStride;
      uint8_t* d = dst + static_cast<size_t>(rr) * pitch;
      int done = 0;
      if (avx2) {
        const bool first = rr == r || !scratch;
        // Sixteen pixels fill one line: a row that starts on a line streams whole lines only.
        if (reinterpret_cast<uintptr_t>(d) % plat::kCacheLine == 0) {
          streamed = true;
          done = first ? rowFirstAvx2Rgb32<true>(yr, ur, vr, width, d, scratch)
                       : rowSecondAvx2Rgb32<true>(yr, width, d, scratch);
        } else {
          done = first ? rowFirstAvx2Rgb32<false>(yr, ur, vr, width, d, scratch)
                       : rowSecondAvx2Rgb32<false>(yr, width, d, scratch);
        }
      }
      if (level >= SimdLevel::Sse2 && !noChroma) {
        const int bpp = bytesPerPixel(code);
        done += rowSse2(code, yr + done, ur + done / 2, vr + done / 2, width - done, d + done * bpp);
      }
      rowScalar(code, yr, ur, vr, done, width, noChroma ? 1 : cw, d);
    }
  }
  // Streamed stores are ordered with the rest only after a fence: whoever is handed the
  // picture next must see all of it.
  if (streamed) _mm_sfence();
  return true;
}

}  // namespace corvane
