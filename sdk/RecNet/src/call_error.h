#pragma once
// The error of the last configuration write made on the calling thread, which
// RecNet_GetLastError tells before any other: each caller sees its own write's outcome,
// whatever other threads do meanwhile.
#include <cstdint>

namespace recnet {

void SetCallError(uint32_t code);  // 0: the write succeeded or failed for another reason
uint32_t CallError();

}  // namespace recnet
