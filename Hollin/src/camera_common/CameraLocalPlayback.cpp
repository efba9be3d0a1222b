#include "camera_common/CameraFamily.h"
#include "localplay/LocalPlayback.h"

namespace hollin {

// Cameras and recorders record into ordinary media files, played by the file player.
IDevLocalPlayback* MakeCameraLocalPlayback(IDevUserLogin*) { return MakeFileLocalPlayback(); }

}  // namespace hollin
