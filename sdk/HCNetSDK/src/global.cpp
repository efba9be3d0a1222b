#include <atomic>
#include <mutex>

#include "HCNetSDK.h"

namespace {
std::mutex g_mutex;
int g_initCount = 0;
std::atomic<SdkMessageCallBack> g_messageCallback{nullptr};
std::atomic<void*> g_messageUser{nullptr};
std::atomic<SdkExceptionCallBack> g_exceptionCallback{nullptr};
std::atomic<void*> g_exceptionUser{nullptr};
std::atomic<uint32_t> g_lastError{0};
}  // namespace

extern "C" {

int NET_DVR_Init() {
  std::lock_guard<std::mutex> lk(g_mutex);
  ++g_initCount;
  return 1;
}

int NET_DVR_Cleanup() {
  std::lock_guard<std::mutex> lk(g_mutex);
  if (g_initCount == 0) {
    g_lastError = 3;  // not initialised
    return 0;
  }
  if (--g_initCount == 0) {
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

uint32_t NET_DVR_GetLastError() { return g_lastError.load(); }

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
