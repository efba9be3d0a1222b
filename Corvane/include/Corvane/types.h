#pragma once
// Handles and calling conventions shared by every Corvane export. Handles are opaque and
// looked up in a registry on every call; null (0) is "none".
#include <cstdint>

using IPC_HANDLE = void*;
