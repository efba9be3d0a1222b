#pragma once
// The table of skin images: every image id the program loads, with its fixed size in pixels.
// The same table drives the build tool that renders the artwork, so sizes live in one place.
#include <span>

struct SkinImage {
  int id;
  int width;
  int height;
  const char* source;  // the SVG file under Tarnwick/res/skin/ it is rendered from
};

// Language id that selects the English images (Chinese images are the plain ids).
constexpr int kLanguageEnglishImages = 9;

std::span<const SkinImage> SkinImageTable();
// The entry for `id`, or null when the program has no such image.
const SkinImage* FindSkinImage(int id);
