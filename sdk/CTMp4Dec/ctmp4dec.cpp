#include "ctdec_core.h"

extern "C" __attribute__((visibility("default"))) void CT_Mpeg4Dec(int operation,
                                                                  DecoderHandleBlock* block,
                                                                  void* output) {
  ctdec::dispatch(ctdec::Codec::Mpeg4, operation, block, output);
}
