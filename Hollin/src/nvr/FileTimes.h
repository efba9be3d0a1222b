#pragma once
// Recorder file times travel as seconds since 1970; callers use local calendar times.
#include <cstdint>

#include "Hollin/Records.h"

namespace hollin {

// Local calendar time to seconds since 1970 (days, months and years carried); 0 for a time
// before 1970, the largest value for one beyond the field's range.
uint32_t SecondsFromLocal(const TIME& t);
TIME LocalFromSeconds(uint32_t seconds);

}  // namespace hollin
