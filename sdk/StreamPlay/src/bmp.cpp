#include "bmp.h"

#include <cstdio>
#include <vector>

#include "plat/bytes.h"

namespace streamplay {

bool writeBmp24(const uint8_t* bgr, uint32_t width, uint32_t height, const std::string& path) {
  if (!bgr || width == 0 || height == 0 || path.empty()) return false;
  const uint32_t stride = (width * 3 + 3) & ~3u;
  const uint32_t imageSize = stride * height;
  uint8_t head[kBmpFileHeaderSize + kBmpInfoHeaderSize] = {};
  head[0] = 'B';
  head[1] = 'M';
  plat::putLe32(head + 2, static_cast<uint32_t>(sizeof head) + imageSize);
  plat::putLe32(head + 10, static_cast<uint32_t>(sizeof head));
  uint8_t* info = head + kBmpFileHeaderSize;
  plat::putLe32(info, kBmpInfoHeaderSize);
  plat::putLe32(info + 4, width);
  plat::putLe32(info + 8, height);  // positive: bottom row first
  plat::putLe16(info + 12, 1);
  plat::putLe16(info + 14, 24);
  plat::putLe32(info + 20, imageSize);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(head, 1, sizeof head, f) == sizeof head;
  std::vector<uint8_t> row(stride, 0);
  for (uint32_t r = 0; ok && r < height; ++r) {
    const uint8_t* src = bgr + static_cast<size_t>(height - 1 - r) * width * 3;
    std::copy(src, src + width * 3, row.begin());
    ok = std::fwrite(row.data(), 1, stride, f) == stride;
  }
  if (std::fclose(f) != 0) ok = false;
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace streamplay
