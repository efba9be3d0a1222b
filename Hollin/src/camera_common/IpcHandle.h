#pragma once
// The camera library's handles as the device access layer holds them.
#include "Corvane/types.h"
#include "Hollin/Interfaces.h"

namespace hollin {

inline IPC_HANDLE AsIpc(DevHandle h) { return reinterpret_cast<IPC_HANDLE>(h); }

}  // namespace hollin
