#pragma once
// The on-screen display hook's record: a caller's hook fills it for every drawn picture and
// the library draws the enabled rectangles, each filled with a 10-pixel grid.
#include <cstdint>

extern "C" {

struct IpcOsdItems {
  uint32_t enable[4];    // non-zero: draw rectangle i
  int32_t rect[4][4];    // left, top, right, bottom in percent of the picture width/height
  uint32_t color[4];     // 0x00RRGGBB
};

// Called on the render thread with the record, the picture size and the hook's user value.
typedef void (*IpcOsdHook)(IpcOsdItems* items, int width, int height, void* user);

}  // extern "C"

inline constexpr int kIpcOsdItemsSize = 96;
static_assert(sizeof(IpcOsdItems) == kIpcOsdItemsSize);
