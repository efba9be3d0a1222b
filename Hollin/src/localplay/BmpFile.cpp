#include "localplay/BmpFile.h"

#include <cstdio>
#include <vector>

#include "localplay/PictureRenderer.h"
#include "plat/bytes.h"

namespace hollin::localplay {

bool WriteBmp(const Picture& p, const std::string& path) {
  if (!p.valid() || path.empty()) return false;
  const uint32_t rowBytes = (static_cast<uint32_t>(p.width) * 3 + 3) & ~3u;
  const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(p.height);
  const uint32_t offset = kBmpFileHeaderSize + kBmpInfoHeaderSize;
  std::vector<uint8_t> file(offset + pixelBytes, 0);
  file[0] = 'B';
  file[1] = 'M';
  // The image (information header and pixels) plus the file header.
  plat::putLe32(file.data() + 2, kBmpInfoHeaderSize + pixelBytes + kBmpFileHeaderSize);
  plat::putLe32(file.data() + 10, offset);
  plat::putLe32(file.data() + 14, kBmpInfoHeaderSize);
  plat::putLe32(file.data() + 18, static_cast<uint32_t>(p.width));
  plat::putLe32(file.data() + 22, static_cast<uint32_t>(p.height));  // positive: bottom-up rows
  plat::putLe16(file.data() + 26, 1);
  plat::putLe16(file.data() + 28, 24);
  plat::putLe32(file.data() + 34, pixelBytes);
  std::vector<uint32_t> rgb(static_cast<size_t>(p.width) * p.height);
  ToRgb(p, rgb.data());
  for (int r = 0; r < p.height; ++r) {
    uint8_t* row = file.data() + offset + static_cast<size_t>(p.height - 1 - r) * rowBytes;
    for (int c = 0; c < p.width; ++c) {
      const uint32_t px = rgb[static_cast<size_t>(r) * p.width + c];
      row[c * 3] = static_cast<uint8_t>(px);
      row[c * 3 + 1] = static_cast<uint8_t>(px >> 8);
      row[c * 3 + 2] = static_cast<uint8_t>(px >> 16);
    }
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace hollin::localplay
