// The recorder family (device type 1), registered when the library loads.
#include "Hollin/DevFamily.h"
#include "RemoteFileMakers.h"
#include "localplay/LocalPlayback.h"
#include "qx/QXAlarm.h"
#include "qx/QXConfig.h"
#include "qx/QXCtlPtz.h"
#include "qx/QXPreview.h"
#include "qx/QXRemote.h"
#include "qx/QXUserLogin.h"

namespace {

class QXDevices : public DevFamily {
 public:
  IDevUserLogin* MakeLogin(CDevInfo* info) override { return new CDevQXUserLogin(info); }
  IDevPreview* MakePreview(IDevUserLogin*, DevHandle loginId, long channel) override {
    return new CDevQXPreview(loginId, channel);
  }
  IDevCtlPtz* MakePtz(IDevUserLogin*, DevHandle loginId, long channel, IDevPreview* preview,
                      bool withChannel) override {
    return new CDevQXCtlPtz(preview, withChannel ? loginId : -1, channel);
  }
  IDevConfig* MakeConfig(IDevUserLogin*, DevHandle loginId) override {
    return new CDevQXConfig(loginId);
  }
  IDevAlarm* MakeAlarm(IDevUserLogin*, DevHandle loginId) override {
    return new CDevQXAlarm(loginId);
  }
  IDevLocalPlayback* MakeLocalPlayback(IDevUserLogin*) override { return MakeQXLocalPlayback(); }
};

using QXFamily = hollin::RemoteFileMakers<QXDevices, CDevQXRemoteFileFinder, CDevQXRemoteFileDownloader,
                                          CDevQXRemotePlayback>;

QXFamily g_family;

struct Registrar {
  Registrar() { SetDevFamily(DEV_TYPE_DVR, &g_family); }
} g_registrar;

}  // namespace
