#pragma once
// What the results of the configuration exports cannot tell: whether a write that failed
// was refused by the recorder or went out and got no answer within the reply wait. The
// recorder may have carried out such a write after the library gave up on it, so a caller
// must not report it as not made. For the recorder SDK stand-in; the exports' results stay
// 1 and 0.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// 1 when the last QX_DVR_SetPellmore made on the calling thread failed for want of an answer
// in time; 0 after one that succeeded, was refused or never went out.
int QX_DVR_ConfigWriteUnanswered(void);

#ifdef __cplusplus
}
#endif
