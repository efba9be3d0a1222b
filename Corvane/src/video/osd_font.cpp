#include "video/osd_font.h"

namespace corvane {

extern const uint8_t kOsdGlyphTable[256 * 48];

const uint8_t* OsdFont::glyph(unsigned code) const {
  size_t index = code;
  if (code >= 256) {
    int first = static_cast<int>(code & 0xFF) - 0xA1, second = static_cast<int>(code >> 8) - 0xA1;
    if (first < 0 || second < 0) return nullptr;
    index = static_cast<size_t>(first) * 94 + second;
  }
  if ((index + 1) * kGlyphBytes > sizeof(kOsdGlyphTable)) return nullptr;
  return kOsdGlyphTable + index * kGlyphBytes;
}

}  // namespace corvane
