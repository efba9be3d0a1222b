// Start-up, clean-up, settings and callbacks.
#include "StreamPlay.h"
#include "Saxtrum.h"
#include "protocol/fanout.h"
#include "protocol/library.h"

using namespace saxtrum;

namespace {
int initLibrary() {
  SPlay_SDKInit();
  installFanOut(net_callback_main);
  return 0;
}
}  // namespace

extern "C" {

int QX_DVR_Init(void) {
  // Logins of an earlier start are stopped first: clearing the table under running receive
  // threads would leave them feeding freed entries.
  stopAllLogins();
  Library& lib = library();
  {
    std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
    lib.logins = {};
    lib.loginCount = 0;
    lib.lastError = 0;
    lib.reconnectInterval = 0;
    lib.reconnectFlag = 0;
    lib.talk = TalkState{};
    lib.replyWaitMs = 4000;
    lib.connectTimeMs = 2000;
    lib.initialised = true;
  }
  lib.message.clear();
  lib.exception.clear();
  initLibrary();
  return 1;
}

int QX_DVR_Cleanup(void) {
  stopAllLogins();
  return 1;
}

uint32_t QX_DVR_GetSDKVersion(void) { return QX_DVR_VERSION; }

int QX_DVR_SetConnectTime(uint32_t waitMs) {
  library().connectTimeMs = static_cast<int>(waitMs > 0x7FFFFFFF ? 0x7FFFFFFF : waitMs);
  return 1;
}

int QX_DVR_SetReconnect(uint32_t interval, int enable) {
  Library& lib = library();
  std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
  lib.reconnectInterval = static_cast<int>(interval);
  lib.reconnectFlag = enable;
  return 1;
}

uint32_t QX_DVR_GetLastError(void) { return library().lastError.load(); }

int QX_DVR_SetDVRMessageCallBack(QX_DVR_MessageCallBack callback, void* user) {
  if (!callback) return 0;
  library().message.set([callback, user](char* alarmer, char* alarm, uint32_t length) {
    callback(QX_DVR_COMMAND_ALARM, alarmer, alarm, length, user);
  });
  return 1;
}

int QX_DVR_SetExceptionCallBack(uint32_t, intptr_t window, QX_DVR_ExceptionCallBack callback,
                                void* user) {
  if (!callback) return 0;
  library().exception.set([callback, window, user](uint32_t type, int32_t userId) {
    callback(type, userId, window, user);
  });
  return 1;
}

int QX_DVR_CaptureJPEGPicture(int32_t, int32_t, void*, const char*) { return 1; }

namespace {
int doNothing() { return 0; }
}  // namespace

int QX_DVR_SetVoiceComClientVolume(int32_t, uint16_t) { return doNothing(); }
int QX_DVR_SetPlayerBufNumber(int32_t, uint32_t) { return doNothing(); }
int QX_DVR_GetDVRWorkState(int32_t, void*) { return doNothing(); }
int QX_DVR_GetDeviceAbility(int32_t, uint32_t, char*, uint32_t, char*, uint32_t) {
  return doNothing();
}
int QX_DVR_GetFormatProgress(int32_t, int32_t*, int32_t*, int32_t*) { return doNothing(); }
int QX_DVR_CloseFormatHandle(int32_t) { return doNothing(); }

}  // extern "C"
