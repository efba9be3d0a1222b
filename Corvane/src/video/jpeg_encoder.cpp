#include "video/jpeg_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "plat/part_file.h"

namespace corvane {
namespace {

// Luminance table in zigzag order (with its own values at positions 22, 42 and 43).
constexpr uint8_t kLuminanceZigzag[64] = {
    16, 11, 12, 14, 12, 10, 16, 14, 13, 14, 18, 17, 16, 19, 24, 40,
    26, 24, 22, 22, 24, 49, 36, 37, 29, 40, 58, 51, 61, 60, 57, 51,
    56, 55, 64, 72, 92, 78, 64, 68, 87, 69, 66, 57, 80, 109, 81, 87,
    95, 98, 103, 104, 103, 62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99};

// Chrominance table of T.81 Annex K.2, natural order.
constexpr uint8_t kChrominanceNatural[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Natural index of each zigzag position.
constexpr uint8_t kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Huffman tables of T.81 Annex K.3 to K.6: code counts per length, then the symbols.
constexpr uint8_t kDcLumBits[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kDcChrBits[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t kDcValues[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kAcLumBits[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr uint8_t kAcLumValues[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
    0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
    0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
    0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
    0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
    0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
    0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
    0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
    0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
    0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
constexpr uint8_t kAcChrBits[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr uint8_t kAcChrValues[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
    0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
    0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
    0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
    0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
    0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
    0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
    0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
    0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
    0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

int category(int v) {
  int a = v < 0 ? -v : v, n = 0;
  while (a) {
    ++n;
    a >>= 1;
  }
  return n;
}

void put16(std::vector<uint8_t>& o, int v) {
  o.push_back(static_cast<uint8_t>(v >> 8));
  o.push_back(static_cast<uint8_t>(v));
}

void dhtTable(std::vector<uint8_t>& o, int classId, const uint8_t bits[16], const uint8_t* values) {
  o.push_back(static_cast<uint8_t>(classId));
  int n = 0;
  for (int i = 0; i < 16; ++i) {
    o.push_back(bits[i]);
    n += bits[i];
  }
  o.insert(o.end(), values, values + n);
}

// The cosine table and the scale of the direct DCT, in single precision.
struct Dct {
  float cosine[8][8];
  Dct() {
    for (int k = 0; k < 8; ++k)
      for (int x = 0; x < 8; ++x)
        cosine[k][x] = static_cast<float>(std::cos((2 * x + 1) * k * M_PI / 16.0));
  }
  void forward(const int16_t in[64], int16_t out[64]) const {
    for (int v = 0; v < 8; ++v)
      for (int u = 0; u < 8; ++u) {
        float sum = 0;
        for (int y = 0; y < 8; ++y)
          for (int x = 0; x < 8; ++x) sum += in[y * 8 + x] * cosine[u][x] * cosine[v][y];
        const float cu = u ? 1.0f : 0.7071f, cv = v ? 1.0f : 0.7071f;
        out[v * 8 + u] = static_cast<int16_t>(0.25f * cu * cv * sum);
      }
  }
};

}  // namespace

void JpegEncoder::adjustedTables(int q, uint8_t lum[64], uint8_t chr[64]) {
  for (int i = 0; i < 64; ++i) {
    int l = kLuminanceZigzag[i], c = kChrominanceNatural[kZigzag[i]];
    if (l % 2 == 0) l += q;
    if (c % 2 == 0) {
      c += q;
    } else {
      c -= q;
      l -= q;
    }
    lum[i] = static_cast<uint8_t>(std::clamp(l, 1, 255));
    chr[i] = static_cast<uint8_t>(std::clamp(c, 1, 255));
  }
}

void JpegEncoder::buildTable(const uint8_t bits[16], const uint8_t* values, HuffTable* t) {
  // Annex C: code lengths in order, then codes counting up, one bit longer per length.
  int k = 0;
  uint16_t code = 0;
  for (int len = 1; len <= 16; ++len) {
    for (int i = 0; i < bits[len - 1]; ++i, ++k) {
      t->code[values[k]] = code++;
      t->size[values[k]] = static_cast<uint8_t>(len);
    }
    code = static_cast<uint16_t>(code << 1);
  }
}

void JpegEncoder::putBits(uint32_t bits, int count) {
  for (int i = count - 1; i >= 0; --i) {
    pending_ = (pending_ << 1) | ((bits >> i) & 1);
    if (++pendingBits_ == 8) {
      out_.push_back(static_cast<uint8_t>(pending_));
      if (pending_ == 0xFF) out_.push_back(0x00);
      pending_ = 0;
      pendingBits_ = 0;
    }
  }
}

void JpegEncoder::flushBits() {
  while (pendingBits_ != 0) putBits(1, 1);
}

void JpegEncoder::putSymbol(const HuffTable& t, int symbol) { putBits(t.code[symbol], t.size[symbol]); }

void JpegEncoder::codeBlock(const int16_t* zz, const HuffTable& dc, const HuffTable& ac) {
  auto value = [&](int v, int cat) {
    if (cat) putBits(static_cast<uint32_t>(v < 0 ? v - 1 : v) & ((1u << cat) - 1), cat);
  };
  int cat = category(zz[0]);
  putSymbol(dc, cat);
  value(zz[0], cat);
  int run = 0;
  for (int k = 1; k < 64; ++k) {
    if (zz[k] == 0) {
      ++run;
      continue;
    }
    for (; run >= 16; run -= 16) putSymbol(ac, 0xF0);
    cat = category(zz[k]);
    putSymbol(ac, run * 16 + cat);
    value(zz[k], cat);
    run = 0;
  }
  if (run > 0) putSymbol(ac, 0x00);
}

bool JpegEncoder::encodeToMemory(std::vector<uint8_t>* result, int width, int height,
                                 const uint8_t* pixels, int stride, int q) {
  if (!result || !pixels || width <= 0 || height <= 0 || width > 65535 || height > 65535 ||
      stride < width * 3)
    return false;
  const int w8 = (width + 7) & ~7, h8 = (height + 7) & ~7;
  out_.clear();
  pending_ = 0;
  pendingBits_ = 0;
  uint8_t lum[64], chr[64];
  adjustedTables(q, lum, chr);

  // Headers.
  out_ = {0xFF, 0xD8};
  for (int t = 0; t < 2; ++t) {
    out_.insert(out_.end(), {0xFF, 0xDB});
    put16(out_, 67);
    out_.push_back(static_cast<uint8_t>(t));
    const uint8_t* table = t ? chr : lum;
    out_.insert(out_.end(), table, table + 64);
  }
  out_.insert(out_.end(), {0xFF, 0xC4});
  put16(out_, 418);
  dhtTable(out_, 0x00, kDcLumBits, kDcValues);
  dhtTable(out_, 0x10, kAcLumBits, kAcLumValues);
  dhtTable(out_, 0x01, kDcChrBits, kDcValues);
  dhtTable(out_, 0x11, kAcChrBits, kAcChrValues);
  buildTable(kDcLumBits, kDcValues, &tables_[0x00]);
  buildTable(kAcLumBits, kAcLumValues, &tables_[0x10]);
  buildTable(kDcChrBits, kDcValues, &tables_[0x01]);
  buildTable(kAcChrBits, kAcChrValues, &tables_[0x11]);
  out_.insert(out_.end(), {0xFF, 0xC0});
  put16(out_, 17);
  out_.push_back(8);
  put16(out_, height);
  put16(out_, width);
  out_.insert(out_.end(), {3, 1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1});
  out_.insert(out_.end(), {0xFF, 0xDA});
  put16(out_, 12);
  out_.insert(out_.end(), {3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0});

  // Colour conversion into three planes of samples - 128; the padding stays 0 (mid-grey).
  const size_t planeSize = static_cast<size_t>(w8) * h8;
  std::vector<int16_t> planes(planeSize * 3, 0);
  int16_t* py = planes.data();
  int16_t* pcb = py + planeSize;
  int16_t* pcr = pcb + planeSize;
  for (int r = 0; r < height; ++r) {
    const uint8_t* src = pixels + static_cast<size_t>(height - 1 - r) * stride;  // bottom-up input
    for (int c = 0; c < width; ++c, src += 3) {
      const float b = src[0], g = src[1], rr = src[2];
      auto clampT = [](float v) { return static_cast<int>(std::clamp(v, 0.0f, 255.0f)); };
      const size_t i = static_cast<size_t>(r) * w8 + c;
      py[i] = static_cast<int16_t>(clampT(0.299f * rr + 0.587f * g + 0.114f * b) - 128);
      pcb[i] = static_cast<int16_t>(clampT(0.5f * b - (0.1687f * rr + 0.3313f * g) + 128) - 128);
      pcr[i] = static_cast<int16_t>(clampT(0.5f * rr - 0.4187f * g - 0.0813f * b + 128) - 128);
    }
  }

  static const Dct dct;
  int16_t prevDc[3] = {0, 0, 0};
  int16_t block[64], coef[64], zz[64];
  for (int by = 0; by < h8; by += 8) {
    for (int bx = 0; bx < w8; bx += 8) {
      for (int comp = 0; comp < 3; ++comp) {
        const int16_t* plane = planes.data() + planeSize * comp;
        for (int y = 0; y < 8; ++y)
          std::memcpy(block + y * 8, plane + static_cast<size_t>(by + y) * w8 + bx, 16);
        dct.forward(block, coef);
        const uint8_t* table = comp ? chr : lum;
        for (int k = 0; k < 64; ++k) zz[k] = static_cast<int16_t>(coef[kZigzag[k]] / table[k]);
        const int16_t dc = zz[0];
        zz[0] = static_cast<int16_t>(dc - prevDc[comp]);
        prevDc[comp] = dc;
        codeBlock(zz, tables_[comp ? 0x01 : 0x00], tables_[comp ? 0x11 : 0x10]);
      }
    }
  }
  flushBits();
  out_.insert(out_.end(), {0xFF, 0xD9});
  *result = std::move(out_);
  out_.clear();
  return true;
}

bool JpegEncoder::encode(const std::string& path, int width, int height, const uint8_t* pixels,
                         int stride, int quality) {
  std::vector<uint8_t> data;
  if (!encodeToMemory(&data, width, height, pixels, stride, quality)) return false;
  // Whole or not at all: a file the disk cuts short never takes the path.
  plat::PartFile part;
  return part.create(path) && part.write(data.data(), data.size()) && part.commit();
}

}  // namespace corvane
