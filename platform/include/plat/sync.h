#pragma once
#include <mutex>

namespace plat {
// Where code relies on a critical section being re-entered by its owner thread.
using RecursiveMutex = std::recursive_mutex;
using RecursiveLock = std::lock_guard<std::recursive_mutex>;
}  // namespace plat
