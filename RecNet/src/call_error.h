#pragma once
// An error of the stand-in's own for the calling thread's last RecNet call, which
// RecNet_GetLastError tells before the recorder library's: each caller sees its own call's
// errors of the stand-in, whatever other threads do meanwhile, never one of an earlier call.
// Without one it falls back to the recorder library's last error, which is the process's.
#include <cstdint>

namespace recnet {

// Every RecNet call begins here: it has no error of its own until it sets one.
void StartCall();
void SetCallError(uint32_t code);

}  // namespace recnet
