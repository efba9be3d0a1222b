#pragma once
// The public interface of libCorvane: the IPC_* exports and G7X_Encode.
// One sub-header per area; callers include this one.
#include "Corvane/types.h"
#include "Corvane/protocol.h"
#include "Corvane/records.h"
#include "Corvane/session.h"
#include "Corvane/params.h"
#include "Corvane/display.h"
#include "Corvane/osd.h"
#include "Corvane/audio.h"
#include "Corvane/record.h"
#include "Corvane/stream.h"
#include "Corvane/dvrfile.h"
