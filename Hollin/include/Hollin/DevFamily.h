#pragma once
// A device family: the makers of one device type's objects. The factories check their
// arguments and the login, then ask the family of the login's type. Each real family
// registers itself; tests of the program install fakes in their place, so the program's
// tests run without devices.
#include "Hollin/DevInfo.h"
#include "Hollin/Interfaces.h"

class DevFamily {
 public:
  virtual ~DevFamily() = default;
  // Makers may throw std::invalid_argument; the factories turn that into a null result.
  virtual IDevUserLogin* MakeLogin(CDevInfo* info) = 0;
  virtual IDevPreview* MakePreview(IDevUserLogin*, DevHandle, long) { return nullptr; }
  // threeArgs: made with a channel (loginId and channel kept); else loginId -1, channel 1.
  // The preview belongs to the caller and outlives the PTZ object made over it.
  virtual IDevCtlPtz* MakePtz(IDevUserLogin*, DevHandle, long, IDevPreview*, bool) { return nullptr; }
  virtual IDevConfig* MakeConfig(IDevUserLogin*, DevHandle) { return nullptr; }
  virtual IDevAlarm* MakeAlarm(IDevUserLogin*, DevHandle) { return nullptr; }
  virtual IDevLocalPlayback* MakeLocalPlayback(IDevUserLogin*) { return nullptr; }
  virtual CDevRemoteFileFinder* MakeFinder(IDevUserLogin*, tagSearchFileCondition*) {
    return nullptr;
  }
  virtual CDevRemoteFileDownloader* MakeDownloader(IDevUserLogin*, const char*, const char*) {
    return nullptr;
  }
  virtual CDevRemoteFileDownloader* MakeDownloader(IDevUserLogin*, long, TIME*, TIME*, char*) {
    return nullptr;
  }
  virtual CDevRemotePlayback* MakePlayback(IDevUserLogin*, HWND, const char*) { return nullptr; }
  virtual CDevRemotePlayback* MakePlayback(IDevUserLogin*, HWND, long, TIME*, TIME*) {
    return nullptr;
  }
};

// Installs the family that serves a device type (1, 2 or 4); null removes it. The previous
// family is returned so a test can put it back.
DevFamily* SetDevFamily(int devType, DevFamily* family);
DevFamily* GetDevFamily(int devType);
