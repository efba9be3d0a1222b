// The network video recorder family (device type 4), registered when the library loads.
#include "RemoteFileMakers.h"
#include "camera_common/CameraFamily.h"
#include "nvr/RemoteFiles.h"

class CDevNVRUserLogin : public hollin::TypedCameraLogin<DEV_TYPE_NVR> {
 public:
  using TypedCameraLogin::TypedCameraLogin;
};

class CDevNVRPreview : public hollin::TypedCameraPreview<DEV_TYPE_NVR> {
 public:
  using TypedCameraPreview::TypedCameraPreview;
};

class CDevNVRCtlPtz : public hollin::CameraPtz {
 public:
  using CameraPtz::CameraPtz;
};

class CDevNVRConfig : public hollin::TypedCameraConfig<DEV_TYPE_NVR> {
 public:
  using TypedCameraConfig::TypedCameraConfig;
};

class CDevNVRLocalPlayback : public CDevFileLocalPlayback {};

namespace {

using hollin::CDevNVRRemoteFileDownloader;
using hollin::CDevNVRRemoteFileFinder;
using hollin::CDevNVRRemotePlayback;

// The camera family's objects plus the recorder's stored files.
using NvrFamily = hollin::RemoteFileMakers<
    hollin::CameraFamily<CDevNVRUserLogin, CDevNVRPreview, CDevNVRCtlPtz, CDevNVRConfig, CDevNVRLocalPlayback>,
    CDevNVRRemoteFileFinder, CDevNVRRemoteFileDownloader, CDevNVRRemotePlayback>;

NvrFamily g_family;
const bool g_registered = hollin::RegisterCameraFamily(DEV_TYPE_NVR, &g_family);

}  // namespace
