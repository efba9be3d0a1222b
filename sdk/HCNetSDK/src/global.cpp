#include <atomic>
#include <mutex>

#include "HCNetSDK.h"
#include "Saxtrum.h"
#include "deliver.h"
#include "records.h"
#include "registry.h"
#include "search.h"

namespace {
std::mutex g_mutex;
int g_initCount = 0;
std::atomic<SdkMessageCallBack> g_messageCallback{nullptr};
std::atomic<void*> g_messageUser{nullptr};
std::atomic<SdkExceptionCallBack> g_exceptionCallback{nullptr};
std::atomic<void*> g_exceptionUser{nullptr};
std::atomic<uint32_t> g_lastError{0};

// The recorder library reports on its receive threads; its records have the SDK's sizes.
void OnLibraryMessage(int32_t command, char* alarmer, char* alarm, uint32_t length, void*) {
  if (command != QX_DVR_COMMAND_ALARM || !alarmer || !alarm || length < QX_DVR_ALARM_INFO_SIZE)
    return;
  SdkAlarmerRecord a;
  SdkAlarmRecord r;
  hcnet::AlarmerFromBytes(reinterpret_cast<const uint8_t*>(alarmer), a);
  hcnet::AlarmFromBytes(reinterpret_cast<const uint8_t*>(alarm), r);
  SdkDeliverAlarm(SDK_COMM_ALARM, &a, &r);
}

void OnLibraryException(uint32_t type, int32_t userId, intptr_t, void*) {
  if (type == QX_DVR_EXCEPTION_SAVE_STOPPED) {
    // The value is the stream handle; only a live view's saving is the caller's to hear of.
    const int32_t handle = userId;
    hcnet::LiveView live;
    if (hcnet::FindLive(handle, &live))
      SdkDeliverException(SDK_EXCEPTION_SAVE_STOPPED, live.loginId, handle);
    return;
  }
  SdkDeliverException(SDK_EXCEPTION_EXCHANGE, userId, -1);
}
}  // namespace

extern "C" {

int NET_DVR_Init() {
  std::lock_guard<std::mutex> lk(g_mutex);
  // The recorder library starts once per process: starting it again would drop its logins.
  if (g_initCount++ == 0) {
    QX_DVR_Init();
    QX_DVR_SetDVRMessageCallBack(&OnLibraryMessage, nullptr);
    QX_DVR_SetExceptionCallBack(0, 0, &OnLibraryException, nullptr);
  }
  return 1;
}

int NET_DVR_Cleanup() {
  std::lock_guard<std::mutex> lk(g_mutex);
  if (g_initCount == 0) {
    g_lastError = 3;  // not initialised
    return 0;
  }
  if (--g_initCount == 0) {
    hcnet::CloseAllSearches();
    QX_DVR_Cleanup();
    hcnet::ClearRegistry();
    g_messageCallback = nullptr;
    g_exceptionCallback = nullptr;
  }
  return 1;
}

int NET_DVR_SetDVRMessageCallBack(SdkMessageCallBack callback, void* user) {
  g_messageUser = user;
  g_messageCallback = callback;
  return 1;
}

int NET_DVR_SetExceptionCallBack(uint32_t, intptr_t, SdkExceptionCallBack callback, void* user) {
  g_exceptionUser = user;
  g_exceptionCallback = callback;
  return 1;
}

uint32_t NET_DVR_GetLastError() {
  const uint32_t own = g_lastError.load();
  return own ? own : QX_DVR_GetLastError();
}

}  // extern "C"

// Used by the rest of the stand-in to deliver what the recorder library reports.
void SdkDeliverAlarm(int32_t command, SdkAlarmerRecord* alarmer, SdkAlarmRecord* alarm) {
  if (auto cb = g_messageCallback.load())
    cb(command, alarmer, reinterpret_cast<char*>(alarm), sizeof(SdkAlarmRecord),
       g_messageUser.load());
}

void SdkDeliverException(uint32_t type, int32_t loginId, int32_t handle) {
  if (auto cb = g_exceptionCallback.load()) cb(type, loginId, handle, g_exceptionUser.load());
}
