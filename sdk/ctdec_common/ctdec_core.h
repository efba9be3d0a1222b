#pragma once
// The decoding core both decoder libraries share: libavcodec behind the op 1/2/3 entry.
#include "ctdec/ctdec.h"

namespace ctdec {

enum class Codec { H264, Mpeg4 };

// Runs one operation of the entry. Bad blocks and unknown operations do nothing.
void dispatch(Codec codec, int operation, DecoderHandleBlock* block, void* output);

}  // namespace ctdec
