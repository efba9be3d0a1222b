// The IP-camera family (device type 2), registered when the library loads.
#include "camera_common/CameraFamily.h"
#include "camera_common/CameraLogin.h"
#include "camera_common/CameraPreview.h"
#include "camera_common/CameraPtzConfig.h"

class CDevIPCUserLogin : public hollin::CameraLogin {
 public:
  explicit CDevIPCUserLogin(CDevInfo* info) : CameraLogin(DEV_TYPE_IPC, info) {}
};

class CDevIPCPreview : public hollin::CameraPreview {
 public:
  CDevIPCPreview(DevHandle session, long channel)
      : CameraPreview(DEV_TYPE_IPC, session, channel) {}
};

class CDevIPCCtlPtz : public hollin::CameraPtz {
 public:
  using CameraPtz::CameraPtz;
};

class CDevIPCConfig : public hollin::CameraConfig {
 public:
  explicit CDevIPCConfig(DevHandle session) : CameraConfig(DEV_TYPE_IPC, session) {}
};

namespace {

class IpcFamily : public DevFamily {
 public:
  IDevUserLogin* MakeLogin(CDevInfo* info) override { return new CDevIPCUserLogin(info); }
  IDevPreview* MakePreview(IDevUserLogin*, DevHandle session, long channel) override {
    return new CDevIPCPreview(session, channel);
  }
  IDevCtlPtz* MakePtz(IDevUserLogin*, DevHandle session, long channel, DevHandle,
                      bool threeArgs) override {
    return new CDevIPCCtlPtz(session, threeArgs ? static_cast<int>(channel) : 1);
  }
  IDevConfig* MakeConfig(IDevUserLogin*, DevHandle session) override {
    return new CDevIPCConfig(session);
  }
  IDevLocalPlayback* MakeLocalPlayback(IDevUserLogin* login) override {
    return hollin::MakeCameraLocalPlayback(login);
  }
};

IpcFamily g_family;
// Registered at load time; a family installed earlier (a test's fake) is left in place.
const bool g_registered = [] {
  if (!GetDevFamily(DEV_TYPE_IPC)) SetDevFamily(DEV_TYPE_IPC, &g_family);
  return true;
}();

}  // namespace
