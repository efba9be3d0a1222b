#include "ctdec_core.h"

extern "C" __attribute__((visibility("default"))) void CT_264Dec(int operation,
                                                                DecoderHandleBlock* block,
                                                                void* output) {
  ctdec::dispatch(ctdec::Codec::H264, operation, block, output);
}
