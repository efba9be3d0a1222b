#pragma once
// The text converter is shared with the device access layer and the configuration library,
// which read the same device records: one declaration for all of them.
#include "Hollin/CTChar.h"
