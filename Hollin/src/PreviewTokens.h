#pragma once
// Tokens name a preview in the messages its play window gets: unlike a pointer, a token of a
// preview that has gone never names another one. One counter for every family, so a token
// names one preview whichever family made it.
#include <atomic>
#include <cstdint>

namespace hollin {

inline uintptr_t NextPreviewToken() {
  static std::atomic<uintptr_t> next{1};
  return next++;
}

}  // namespace hollin
