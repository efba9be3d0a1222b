#pragma once
// Small helpers the exports share.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "protocol/library.h"

namespace saxtrum {

// Copies text into a fixed field, zero-padded, not necessarily terminated.
inline void copyField(uint8_t* dst, size_t n, const char* src) {
  std::memset(dst, 0, n);
  if (src) std::memcpy(dst, src, strnlen(src, n));
}
inline std::string fieldText(const char* src, size_t n) {
  return src ? std::string(src, strnlen(src, n)) : std::string();
}

// A handle that names a busy slot of a live login; false for stale or foreign handles.
bool resolveBusy(int32_t handle, StreamRef& out);
int32_t slotPort(const StreamRef& r);
StreamEntry streamEntry(const StreamRef& r);
// Stores a live or playback data callback of a stream and turns its callback flag on; 0 for a
// bad handle.
int setStreamCallback(int32_t handle, QX_DVR_DataCallBack StreamEntry::*which,
                      QX_DVR_DataCallBack callback, void* user);

}  // namespace saxtrum
