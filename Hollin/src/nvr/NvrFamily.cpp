// The network video recorder family (device type 4), registered when the library loads.
#include "camera_common/CameraFamily.h"
#include "camera_common/CameraLogin.h"
#include "camera_common/CameraPreview.h"
#include "camera_common/CameraPtzConfig.h"
#include "nvr/RemoteFiles.h"

class CDevNVRUserLogin : public hollin::CameraLogin {
 public:
  explicit CDevNVRUserLogin(CDevInfo* info) : CameraLogin(DEV_TYPE_NVR, info) {}
};

class CDevNVRPreview : public hollin::CameraPreview {
 public:
  CDevNVRPreview(DevHandle session, long channel)
      : CameraPreview(DEV_TYPE_NVR, session, channel) {}
};

class CDevNVRCtlPtz : public hollin::CameraPtz {
 public:
  using CameraPtz::CameraPtz;
};

class CDevNVRConfig : public hollin::CameraConfig {
 public:
  explicit CDevNVRConfig(DevHandle session) : CameraConfig(DEV_TYPE_NVR, session) {}
};

namespace {

using hollin::CDevNVRRemoteFileDownloader;
using hollin::CDevNVRRemoteFileFinder;
using hollin::CDevNVRRemotePlayback;

class NvrFamily : public DevFamily {
 public:
  IDevUserLogin* MakeLogin(CDevInfo* info) override { return new CDevNVRUserLogin(info); }
  IDevPreview* MakePreview(IDevUserLogin*, DevHandle session, long channel) override {
    return new CDevNVRPreview(session, channel);
  }
  IDevCtlPtz* MakePtz(IDevUserLogin*, DevHandle session, long channel, DevHandle,
                      bool threeArgs) override {
    return new CDevNVRCtlPtz(session, threeArgs ? static_cast<int>(channel) : 1);
  }
  IDevConfig* MakeConfig(IDevUserLogin*, DevHandle session) override {
    return new CDevNVRConfig(session);
  }
  IDevLocalPlayback* MakeLocalPlayback(IDevUserLogin* login) override {
    return hollin::MakeCameraLocalPlayback(login);
  }
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
// Registered at load time; a family installed earlier (a test's fake) is left in place.
const bool g_registered = [] {
  if (!GetDevFamily(DEV_TYPE_NVR)) SetDevFamily(DEV_TYPE_NVR, &g_family);
  return true;
}();

}  // namespace
