// The recorder family (device type 1), registered when the library loads.
#include "Hollin/DevFamily.h"
#include "localplay/LocalPlayback.h"
#include "qx/QXAlarm.h"
#include "qx/QXConfig.h"
#include "qx/QXCtlPtz.h"
#include "qx/QXPreview.h"
#include "qx/QXRemote.h"
#include "qx/QXUserLogin.h"

namespace {

class QXFamily : public DevFamily {
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
  CDevRemoteFileFinder* MakeFinder(IDevUserLogin* login, tagSearchFileCondition* c) override {
    return new CDevQXRemoteFileFinder(login, c);
  }
  CDevRemoteFileDownloader* MakeDownloader(IDevUserLogin* login, const char* remote,
                                           const char* local) override {
    return new CDevQXRemoteFileDownloader(login, remote, local);
  }
  CDevRemoteFileDownloader* MakeDownloader(IDevUserLogin* login, long channel, TIME* start,
                                           TIME* end, char* path) override {
    return new CDevQXRemoteFileDownloader(login, channel, start, end, path);
  }
  CDevRemotePlayback* MakePlayback(IDevUserLogin* login, HWND window, const char* name) override {
    return new CDevQXRemotePlayback(login, window, name);
  }
  CDevRemotePlayback* MakePlayback(IDevUserLogin* login, HWND window, long channel, TIME* start,
                                   TIME* end) override {
    return new CDevQXRemotePlayback(login, window, channel, start, end);
  }
};

QXFamily g_family;

struct Registrar {
  Registrar() { SetDevFamily(DEV_TYPE_DVR, &g_family); }
} g_registrar;

}  // namespace
