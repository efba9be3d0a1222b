#include "controls/SkinImages.h"

#include <algorithm>
#include <iterator>

namespace {
constexpr SkinImage kTable[] = {
#define SKIN(id, w, h, file) {id, w, h, file},
#include "skin/skin_table.inc"
#undef SKIN
};
}  // namespace

std::span<const SkinImage> SkinImageTable() { return kTable; }

const SkinImage* FindSkinImage(int id) {
  auto it = std::find_if(std::begin(kTable), std::end(kTable), [id](const SkinImage& s) { return s.id == id; });
  return it == std::end(kTable) ? nullptr : &*it;
}
