#pragma once
// What a parameter export's 0 cannot tell: whether the camera refused the request (or it was
// never sent) or it went out and no whole reply came within the reply wait. The camera may
// have carried out such a set after the library gave up on it, so a caller must not report it
// as not made. The exports' results stay 1 and 0.
#include "Corvane/types.h"

extern "C" {
// 1 when the last parameter export (Corvane/params.h) called on this thread returned 0 for
// want of an answer in time; 0 after one that succeeded, was refused or never went out.
int IPC_LastParamUnanswered();
}
