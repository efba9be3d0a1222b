// Build-time generator of the OSD glyph table: renders printable ASCII from an installed
// monospace font into 16 x 24 one-bit cells (2 bytes a row, leftmost pixel in the top bit)
// and writes them as a C++ array. Without a font (or FreeType) it writes an empty table.
//   osd_glyphgen OUT.cpp [FONT]
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef HAVE_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

namespace {
constexpr int kCellW = 16, kCellH = 24, kGlyphBytes = 48;
constexpr int kPixelSize = 20;  // a 12-pixel advance at this size for the usual monospace faces
constexpr int kBaseline = 18;
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: osd_glyphgen OUT.cpp [FONT]\n");
    return 2;
  }
  std::vector<unsigned char> table(256 * kGlyphBytes, 0);
  int rendered = 0;
#ifdef HAVE_FREETYPE
  FT_Library lib;
  FT_Face face;
  if (argc > 2 && FT_Init_FreeType(&lib) == 0 && FT_New_Face(lib, argv[2], 0, &face) == 0 &&
      FT_Set_Pixel_Sizes(face, 0, kPixelSize) == 0) {
    for (int code = 0x21; code < 0x7F; ++code) {
      if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME))
        continue;
      const FT_Bitmap& bm = face->glyph->bitmap;
      const int left = face->glyph->bitmap_left, top = kBaseline - face->glyph->bitmap_top;
      for (unsigned r = 0; r < bm.rows; ++r) {
        for (unsigned c = 0; c < bm.width; ++c) {
          const unsigned char* row = bm.buffer + static_cast<long>(r) * bm.pitch;
          bool on = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (row[c / 8] >> (7 - c % 8)) & 1
                                                        : row[c] >= 128;
          int x = left + static_cast<int>(c), y = top + static_cast<int>(r);
          if (!on || x < 0 || x >= kCellW || y < 0 || y >= kCellH) continue;
          table[code * kGlyphBytes + y * 2 + x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
        }
      }
      ++rendered;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
  }
#endif
  if (rendered == 0) std::fprintf(stderr, "osd_glyphgen: no font, writing an empty glyph table\n");
  FILE* out = std::fopen(argv[1], "w");
  if (!out) return 1;
  std::fprintf(out, "// Generated at build time by osd_glyphgen. Do not edit.\n#include <cstdint>\n"
                    "namespace corvane {\nextern const uint8_t kOsdGlyphTable[256 * 48];\n"
                    "const uint8_t kOsdGlyphTable[256 * 48] = {\n");
  for (size_t i = 0; i < table.size(); ++i)
    std::fprintf(out, "%u,%s", table[i], i % 24 == 23 ? "\n" : "");
  std::fprintf(out, "};\n}  // namespace corvane\n");
  return std::fclose(out) == 0 ? 0 : 1;
}
