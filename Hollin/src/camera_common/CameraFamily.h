#pragma once
// The makers shared by the IP-camera and recorder families; each family names its classes.
#include "Hollin/DevFamily.h"

namespace hollin {

// Local-file playback for cameras and recorders.
IDevLocalPlayback* MakeCameraLocalPlayback(IDevUserLogin* login);

}  // namespace hollin
