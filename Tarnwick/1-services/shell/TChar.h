#pragma once
// The text converter is shared with the device access layer and the configuration library,
// which read the same device records: one declaration for all of them, in a header-only
// library below the three (platform/ctchar).
#include "CTChar.h"
