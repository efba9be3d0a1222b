#pragma once
// A baseline JPEG encoder for snapshots: fixed tables adjusted by a quality step, a direct
// floating-point DCT, the standard Huffman tables, one block of each component per MCU.
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

class JpegEncoder {
 public:
  // `pixels`: blue, green, red per pixel, rows bottom-up at `stride` bytes (at least
  // width x 3). False when the file cannot be written whole.
  bool encode(const std::string& path, int width, int height, const uint8_t* pixels, int stride,
              int quality);
  // The same into memory.
  bool encodeToMemory(std::vector<uint8_t>* out, int width, int height, const uint8_t* pixels,
                      int stride, int quality);

  // The quantization tables in zigzag order after the quality step, as written to the file.
  static void adjustedTables(int quality, uint8_t luminance[64], uint8_t chrominance[64]);

 private:
  struct HuffTable {
    uint16_t code[256] = {};
    uint8_t size[256] = {};
  };
  void buildTable(const uint8_t bits[16], const uint8_t* values, HuffTable* table);
  void putBits(uint32_t bits, int count);
  void putSymbol(const HuffTable& t, int symbol);
  void codeBlock(const int16_t* zz, const HuffTable& dc, const HuffTable& ac);
  void flushBits();

  HuffTable tables_[20];  // class x 16 + id: slots 0, 1, 16, 17
  std::vector<uint8_t> out_;
  uint32_t pending_ = 0;
  int pendingBits_ = 0;
};

}  // namespace corvane
