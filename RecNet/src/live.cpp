// Login and live view, carried onto the recorder library.
#include "RecNet.h"
#include "Saxtrum.h"
#include "call_error.h"
#include "plat/paint.h"
#include "plat/paths.h"
#include "records.h"
#include "registry.h"
#include "search.h"

namespace {

using recnet::Kind;

// The library reports its own handle; the caller knows ours.
void OnLiveData(int32_t libHandle, uint32_t dataType, uint8_t* data, uint32_t length, void*) {
  const int32_t handle = recnet::ToOurs(libHandle, Kind::Live);
  recnet::LiveView live;
  if (handle >= 0 && recnet::FindLive(handle, &live) && live.data)
    live.data(handle, dataType, data, length, live.dataUser);
}

// The player reports each shown picture with the value we gave (our live handle) and the
// picture to draw into; the callback gets the picture's own rectangle. A picture that went
// to no window has nothing to draw into and is not reported.
void OnDraw(int32_t, intptr_t dc, void* user) {
  const auto handle = static_cast<int32_t>(reinterpret_cast<intptr_t>(user));
  const plat::PaintContext* picture = plat::PaintContext::from(dc);
  if (!picture) return;
  recnet::CallLiveDraw(handle, dc, picture->width(), picture->height());
}

}  // namespace

extern "C" {

int32_t RecNet_Login(const char* address, uint16_t port, const char* user, const char* password,
                      SdkDeviceInfo* deviceInfo) {
  recnet::StartCall();
  QX_DVR_DEVICEINFO q{};
  const int32_t id = QX_DVR_Login(address, port, user, password, &q);
  if (id >= 0 && deviceInfo) recnet::FromQx(q, *deviceInfo);
  return id < 0 ? -1 : recnet::Issue(Kind::Login, id);
}

int RecNet_Logout(int32_t loginId) {
  recnet::StartCall();
  const int32_t lib = recnet::ToLib(loginId, Kind::Login);
  if (lib < 0) return 0;
  const int r = QX_DVR_Logout(lib);
  if (r != 1) return 0;
  // Once the login is gone its searches can only fail, and every handle of it is stale.
  recnet::CloseSearchesOf(lib);
  recnet::RetireLogin(lib);
  return 1;
}

int32_t RecNet_RealPlay(int32_t loginId, const SdkClientInfo* client,
                         SdkRealDataCallBack callback, void* user, int blocking) {
  recnet::StartCall();
  if (!client) return -1;
  QX_DVR_CLIENTINFO q{};
  q.lChannel = client->channel;
  q.lLinkMode = client->linkMode & SDK_LINK_SUBSTREAM;
  q.hPlayWnd = client->window;
  const int32_t lib = recnet::ToLib(loginId, Kind::Login);
  if (lib < 0) return -1;
  const int32_t libHandle = QX_DVR_RealPlay(lib, &q, 0, 0, blocking);
  if (libHandle < 0) return -1;
  const int32_t h = recnet::Issue(Kind::Live, libHandle);
  recnet::LiveView live;
  live.loginId = lib;
  live.channel = client->channel;
  live.window = client->window;
  recnet::AddLive(h, live);
  if (callback) RecNet_SetRealDataCallBack(h, callback, user);
  return h;
}

int RecNet_StopRealPlay(int32_t realHandle) {
  recnet::StartCall();
  return recnet::CloseHandle(realHandle, Kind::Live, QX_DVR_StopRealPlay) == 1 ? 1 : 0;
}

int RecNet_SetRealDataCallBack(int32_t realHandle, SdkRealDataCallBack callback, void* user) {
  recnet::StartCall();
  const int32_t lib = recnet::ToLib(realHandle, Kind::Live);
  if (lib < 0 || !recnet::FindLive(realHandle, nullptr)) return 0;
  recnet::SetLiveData(realHandle, callback, user);
  return QX_DVR_SetRealDataCallBack(lib, callback ? &OnLiveData : nullptr, nullptr);
}

int RecNet_RigisterDrawFun(int32_t realHandle, SdkDrawFun fun, void* user) {
  recnet::StartCall();
  const int32_t lib = recnet::ToLib(realHandle, Kind::Live);
  if (lib < 0 || !recnet::FindLive(realHandle, nullptr)) return 0;
  recnet::SetLiveDraw(realHandle, fun, user);
  return QX_DVR_RigisterDrawFun(lib, fun ? &OnDraw : nullptr,
                                fun ? reinterpret_cast<void*>(intptr_t{realHandle}) : nullptr);
}

int RecNet_SaveRealData(int32_t realHandle, uint32_t mode, const char* path) {
  recnet::StartCall();
  if (!path) return 0;
  // The caller names the file as the system does ("D:\\RecordFile\\..."): its drive letter maps
  // to a folder here, as for every other recording.
  return QX_DVR_SaveRealData(recnet::ToLib(realHandle, Kind::Live), mode,
                             plat::toNativePath(std::string(path)).c_str());
}

int RecNet_StopSaveRealData(int32_t realHandle) {
  recnet::StartCall();
  return QX_DVR_StopSaveRealData(recnet::ToLib(realHandle, Kind::Live));
}

int RecNet_CapturePicture(int32_t realHandle, const char* bmpPath) {
  recnet::StartCall();
  return QX_DVR_CapturePicture(recnet::ToLib(realHandle, Kind::Live), bmpPath);
}

int RecNet_OpenSound(int32_t realHandle) {
  recnet::StartCall();
  return QX_DVR_OpenSound(recnet::ToLib(realHandle, Kind::Live));
}
int RecNet_CloseSound() {
  recnet::StartCall();
  return QX_DVR_CloseSound();
}
int RecNet_Volume(int32_t realHandle, uint16_t volume) {
  recnet::StartCall();
  return QX_DVR_Volume(recnet::ToLib(realHandle, Kind::Live), volume);
}

int RecNet_ClientSetVideoEffect(int32_t realHandle, uint32_t brightness, uint32_t contrast,
                                 uint32_t saturation, uint32_t hue) {
  recnet::StartCall();
  return QX_DVR_ClientSetVideoEffect(recnet::ToLib(realHandle, Kind::Live), brightness, contrast,
                                     saturation, hue);
}

int RecNet_ClientGetVideoEffect(int32_t realHandle, uint32_t* brightness, uint32_t* contrast,
                                 uint32_t* saturation, uint32_t* hue) {
  recnet::StartCall();
  uint32_t b = 0, c = 0, s = 0, h = 0;
  const int r = QX_DVR_ClientGetVideoEffect(recnet::ToLib(realHandle, Kind::Live), &b, &c, &s, &h);
  if (r == 1) {
    if (brightness) *brightness = b;
    if (contrast) *contrast = c;
    if (saturation) *saturation = s;
    if (hue) *hue = h;
  }
  return r == 1 ? 1 : 0;
}

// ---- Talk ----

int32_t RecNet_StartVoiceCom(int32_t target, intptr_t channel, intptr_t, intptr_t, intptr_t) {
  recnet::StartCall();
  recnet::LiveView live;
  int32_t talk;
  if (recnet::FindLive(target, &live)) {
    talk = QX_DVR_StartVoiceCom(live.loginId, live.channel);
  } else {
    const int32_t ch = channel >= 1 && channel <= 16 ? static_cast<int32_t>(channel) : 1;
    const int32_t lib = recnet::ToLib(target, Kind::Login);
    talk = lib < 0 ? -1 : QX_DVR_StartVoiceCom(lib, ch);
  }
  return recnet::Issue(Kind::Talk, talk);
}

int RecNet_StopVoiceCom(int32_t talkHandle) {
  recnet::StartCall();
  return recnet::CloseHandle(talkHandle, Kind::Talk, QX_DVR_StopVoiceCom);
}

// ---- PTZ ----

int RecNet_PTZControl(int32_t realHandle, uint32_t command, uint32_t stop) {
  recnet::StartCall();
  return QX_DVR_PTZControl(recnet::ToLib(realHandle, Kind::Live), command, stop);
}

int RecNet_PTZPreset(int32_t realHandle, uint32_t command, uint32_t preset) {
  recnet::StartCall();
  return QX_DVR_PTZPreset(recnet::ToLib(realHandle, Kind::Live), command, preset);
}

int RecNet_PTZCruise(int32_t realHandle, uint32_t command, uint8_t route, uint8_t point,
                      uint16_t value) {
  recnet::StartCall();
  return QX_DVR_PTZCruise(recnet::ToLib(realHandle, Kind::Live), command, route, point, value);
}

int RecNet_PTZTrack(int32_t realHandle, uint32_t command) {
  recnet::StartCall();
  return QX_DVR_PTZTrack(recnet::ToLib(realHandle, Kind::Live), command);
}

int RecNet_GetPTZCruise(int32_t loginId, int32_t channel, int32_t route, uint8_t* cruise) {
  recnet::StartCall();
  if (!cruise) return 0;
  return QX_DVR_GetPTZCruise(recnet::ToLib(loginId, Kind::Login), channel, route, cruise) == 1 ? 1 : 0;
}

}  // extern "C"
