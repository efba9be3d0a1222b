#pragma once
// File searches: each runs on a thread of its own that pulls the recorder library's records
// until the end, so the caller's polls see "searching" until a record or the end is known.
#include <cstdint>

namespace recnet {

// Ends the searches of a login that went away, without asking the device.
void CloseSearchesOf(int32_t loginId);
void CloseAllSearches();

}  // namespace recnet
