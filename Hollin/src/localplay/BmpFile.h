#pragma once
// Writes a picture as a 24-bit BMP file: 14-byte file header, 40-byte information header,
// rows bottom-up padded to four bytes.
#include <string>

#include "localplay/Picture.h"

namespace hollin::localplay {

constexpr int kBmpFileHeaderSize = 14;
constexpr int kBmpInfoHeaderSize = 40;

bool WriteBmp(const Picture& p, const std::string& path);

}  // namespace hollin::localplay
