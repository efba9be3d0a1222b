#pragma once
// What the IP-camera and recorder families share: their objects differ only in the device
// type they carry, so each family names its classes over these and adds what only it has.
#include "Hollin/DevFamily.h"
#include "camera_common/CameraLogin.h"
#include "camera_common/CameraPreview.h"
#include "camera_common/CameraPtzConfig.h"
#include "localplay/FileLocalPlayback.h"

namespace hollin {

template <int Type>
class TypedCameraLogin : public CameraLogin {
 public:
  explicit TypedCameraLogin(CDevInfo* info) : CameraLogin(Type, info) {}
};

template <int Type>
class TypedCameraPreview : public CameraPreview {
 public:
  TypedCameraPreview(DevHandle session, long channel) : CameraPreview(Type, session, channel) {}
};

template <int Type>
class TypedCameraConfig : public CameraConfig {
 public:
  explicit TypedCameraConfig(DevHandle session) : CameraConfig(Type, session) {}
};

// Login, live view, PTZ, settings over one camera library session, and local files (ordinary
// media files, played by the file player).
template <class Login, class Preview, class Ptz, class Config, class LocalPlayback>
class CameraFamily : public DevFamily {
 public:
  IDevUserLogin* MakeLogin(CDevInfo* info) override { return new Login(info); }
  IDevPreview* MakePreview(IDevUserLogin*, DevHandle session, long channel) override {
    return new Preview(session, channel);
  }
  IDevCtlPtz* MakePtz(IDevUserLogin*, DevHandle session, long channel, IDevPreview*,
                      bool threeArgs) override {
    return new Ptz(session, threeArgs ? static_cast<int>(channel) : 1);
  }
  IDevConfig* MakeConfig(IDevUserLogin*, DevHandle session) override {
    return new Config(session);
  }
  IDevLocalPlayback* MakeLocalPlayback(IDevUserLogin*) override { return new LocalPlayback(); }
};

// Installs a family when the library loads; a family installed earlier (a test's fake) is
// left in place.
inline bool RegisterCameraFamily(int devType, DevFamily* family) {
  if (!GetDevFamily(devType)) SetDevFamily(devType, family);
  return true;
}

}  // namespace hollin
