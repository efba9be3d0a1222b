#include "camera_common/CameraFamily.h"

namespace hollin {

IDevLocalPlayback* MakeCameraLocalPlayback(IDevUserLogin*) { return nullptr; }

}  // namespace hollin
