// The IP-camera family (device type 2), registered when the library loads.
#include "camera_common/CameraFamily.h"

class CDevIPCUserLogin : public hollin::TypedCameraLogin<DEV_TYPE_IPC> {
 public:
  using TypedCameraLogin::TypedCameraLogin;
};

class CDevIPCPreview : public hollin::TypedCameraPreview<DEV_TYPE_IPC> {
 public:
  using TypedCameraPreview::TypedCameraPreview;
};

class CDevIPCCtlPtz : public hollin::CameraPtz {
 public:
  using CameraPtz::CameraPtz;
};

class CDevIPCConfig : public hollin::TypedCameraConfig<DEV_TYPE_IPC> {
 public:
  using TypedCameraConfig::TypedCameraConfig;
};

class CDevIPCLocalPlayback : public CDevFileLocalPlayback {};

namespace {

hollin::CameraFamily<CDevIPCUserLogin, CDevIPCPreview, CDevIPCCtlPtz, CDevIPCConfig,
                     CDevIPCLocalPlayback>
    g_family;
const bool g_registered = hollin::RegisterCameraFamily(DEV_TYPE_IPC, &g_family);

}  // namespace
