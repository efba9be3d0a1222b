#include <functional>
#include <mutex>

#include "RecNet.h"
#include "Saxtrum.h"
#include "call_error.h"
#include "deliver.h"
#include "plat/hook.h"
#include "records.h"
#include "registry.h"
#include "search.h"

namespace {
std::mutex g_mutex;
int g_initCount = 0;
// Each callback with its user value as one unit; replacing one waits for calls in progress.
plat::Hook<std::function<void(int32_t, SdkAlarmerRecord*, SdkAlarmRecord*)>> g_message;
plat::Hook<std::function<void(uint32_t, int32_t, int32_t)>> g_exception;
thread_local uint32_t t_callError = 0;

// The recorder library reports on its receive threads; its records have the SDK's sizes.
void OnLibraryMessage(int32_t command, char* alarmer, char* alarm, uint32_t length, void*) {
  if (command != QX_DVR_COMMAND_ALARM || !alarmer || !alarm || length < QX_DVR_ALARM_INFO_SIZE)
    return;
  SdkAlarmerRecord a;
  SdkAlarmRecord r;
  recnet::AlarmerFromBytes(reinterpret_cast<const uint8_t*>(alarmer), a);
  // The caller knows the login by our id, not the library's.
  a.userId = recnet::ToOurs(a.userId, recnet::Kind::Login);
  if (a.userId < 0) return;  // the login has gone meanwhile
  recnet::AlarmFromBytes(reinterpret_cast<const uint8_t*>(alarm), r);
  SdkDeliverAlarm(SDK_COMM_ALARM, &a, &r);
}

void OnLibraryException(uint32_t type, int32_t userId, intptr_t, void*) {
  if (type == QX_DVR_EXCEPTION_SAVE_STOPPED) {
    // The value is the library's stream handle; only a live view's saving is the caller's to
    // hear of, by our handles.
    const int32_t handle = recnet::ToOurs(userId, recnet::Kind::Live);
    recnet::LiveView live;
    if (handle >= 0 && recnet::FindLive(handle, &live))
      SdkDeliverException(SDK_EXCEPTION_SAVE_STOPPED, recnet::ToOurs(live.loginId, recnet::Kind::Login),
                          handle);
    return;
  }
  const int32_t loginId = recnet::ToOurs(userId, recnet::Kind::Login);
  if (loginId >= 0) SdkDeliverException(SDK_EXCEPTION_EXCHANGE, loginId, -1);
}
}  // namespace

extern "C" {

int RecNet_Init() {
  recnet::StartCall();
  std::lock_guard<std::mutex> lk(g_mutex);
  // The recorder library starts once per process: starting it again would drop its logins.
  if (g_initCount++ == 0) {
    QX_DVR_Init();
    QX_DVR_SetDVRMessageCallBack(&OnLibraryMessage, nullptr);
    QX_DVR_SetExceptionCallBack(0, 0, &OnLibraryException, nullptr);
  }
  return 1;
}

int RecNet_Cleanup() {
  recnet::StartCall();
  std::lock_guard<std::mutex> lk(g_mutex);
  if (g_initCount == 0) {
    recnet::SetCallError(3);  // not initialised
    return 0;
  }
  if (--g_initCount == 0) {
    recnet::CloseAllSearches();
    QX_DVR_Cleanup();
    recnet::ClearRegistry();
    g_message.clear();
    g_exception.clear();
  }
  return 1;
}

int RecNet_SetDVRMessageCallBack(SdkMessageCallBack callback, void* user) {
  recnet::StartCall();
  if (!callback) {
    g_message.clear();
    return 1;
  }
  g_message.set([callback, user](int32_t command, SdkAlarmerRecord* a, SdkAlarmRecord* r) {
    callback(command, a, reinterpret_cast<char*>(r), sizeof(SdkAlarmRecord), user);
  });
  return 1;
}

int RecNet_SetExceptionCallBack(uint32_t, intptr_t, SdkExceptionCallBack callback, void* user) {
  recnet::StartCall();
  if (!callback) {
    g_exception.clear();
    return 1;
  }
  g_exception.set([callback, user](uint32_t type, int32_t loginId, int32_t handle) {
    callback(type, loginId, handle, user);
  });
  return 1;
}

uint32_t RecNet_GetLastError() {
  return t_callError ? t_callError : QX_DVR_GetLastError();
}

}  // extern "C"

void recnet::StartCall() { t_callError = 0; }
void recnet::SetCallError(uint32_t code) { t_callError = code; }

// Used by the rest of the stand-in to deliver what the recorder library reports.
void SdkDeliverAlarm(int32_t command, SdkAlarmerRecord* alarmer, SdkAlarmRecord* alarm) {
  g_message.call(command, alarmer, alarm);
}

void SdkDeliverException(uint32_t type, int32_t loginId, int32_t handle) {
  g_exception.call(type, loginId, handle);
}
