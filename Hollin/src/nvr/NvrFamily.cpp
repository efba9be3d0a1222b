// The network video recorder family (device type 4), registered when the library loads.
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
class NvrFamily
    : public hollin::CameraFamily<CDevNVRUserLogin, CDevNVRPreview, CDevNVRCtlPtz, CDevNVRConfig,
                                  CDevNVRLocalPlayback> {
 public:
  CDevRemoteFileFinder* MakeFinder(IDevUserLogin* login, tagSearchFileCondition* c) override {
    return new CDevNVRRemoteFileFinder(login, c);
  }
  CDevRemoteFileDownloader* MakeDownloader(IDevUserLogin* login, const char* name,
                                           const char* path) override {
    return new CDevNVRRemoteFileDownloader(login, name, path);
  }
  CDevRemoteFileDownloader* MakeDownloader(IDevUserLogin* login, long channel, TIME* start,
                                           TIME* end, char* path) override {
    return new CDevNVRRemoteFileDownloader(login, channel, start, end, path);
  }
  CDevRemotePlayback* MakePlayback(IDevUserLogin* login, HWND window,
                                   const char* name) override {
    return new CDevNVRRemotePlayback(login, window, name);
  }
  CDevRemotePlayback* MakePlayback(IDevUserLogin* login, HWND window, long channel,
                                   TIME* start, TIME* end) override {
    return new CDevNVRRemotePlayback(login, window, channel, start, end);
  }
};

NvrFamily g_family;
const bool g_registered = hollin::RegisterCameraFamily(DEV_TYPE_NVR, &g_family);

}  // namespace
