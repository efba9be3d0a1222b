#pragma once
// File searches: each runs on a thread of its own that pulls the recorder library's records
// until the end, so the caller's polls see "searching" until a record or the end is known.
#include <cstdint>

namespace hcnet {

void CloseAllSearches();

}  // namespace hcnet
