#pragma once
// The two decoder libraries, loaded by name on first use and kept for the life of the
// process. A library that cannot be loaded leaves its entry null and is tried again by the
// next player.
#include "ctdec/ctdec.h"

namespace corvane {

struct DecoderEntries {
  CTDecEntry h264 = nullptr;
  CTDecEntry mpeg4 = nullptr;
};

DecoderEntries LoadDecoders();

}  // namespace corvane
