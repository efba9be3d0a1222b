#pragma once
// The OSD's glyph table: 256 glyphs of 16 x 24 pixels, 2 bytes a row, leftmost pixel in the
// top bit. Printable ASCII carries glyphs; other codes are blank.
#include <cstddef>
#include <cstdint>

namespace corvane {

class OsdFont {
 public:
  static constexpr int kWidth = 16;
  static constexpr int kHeight = 24;
  static constexpr int kGlyphBytes = 48;
  static constexpr int kAdvance = 12;
  static constexpr int kGlyphCount = 256;

  // The glyph of a character code, or null when its offset lies outside the table. Codes of
  // 256 and above are two GB2312 bytes (first byte low), which this table does not carry.
  const uint8_t* glyph(unsigned code) const;
  static bool pixel(const uint8_t* glyph, int x, int y) {
    return (glyph[y * 2 + x / 8] >> (7 - x % 8)) & 1;
  }
};

}  // namespace corvane
