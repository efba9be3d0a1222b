#include "Hollin/Global.h"

#include <cstring>

#include "AlarmTrampoline.h"
#include "RecNet.h"
#include "qx/QXPreview.h"

namespace hollin {

void FillAlarmMessage(MsgAlarmInfo& msg, const SdkAlarmerRecord& alarmer,
                      const SdkAlarmRecord& alarm) {
  std::memset(&msg, 0, sizeof msg);
  msg.loginId = alarmer.userId;
  msg.alarmType = alarm.alarmType;
  std::memcpy(msg.deviceName, alarmer.deviceName, sizeof msg.deviceName);
  std::memcpy(msg.deviceIP, alarmer.deviceIP, sizeof msg.deviceIP);
  switch (alarm.alarmType) {
    case ALARM_SIGNAL_INPUT:
      msg.flagCount = 64;
      std::memcpy(msg.flags, alarm.relatedChannels, 64);
      break;
    case ALARM_VIDEO_LOSS:
    case ALARM_MOTION:
    case ALARM_VIDEO_MASKING:
      msg.flagCount = 64;
      std::memcpy(msg.flags, alarm.channels, 64);
      break;
    case ALARM_DISK_FULL:
    case ALARM_DISK_ERROR:
      msg.flagCount = 33;
      std::memcpy(msg.flags, alarm.disks, 33);
      break;
    default:
      msg.flagCount = 0;
      break;
  }
}

void AlarmTrampoline(int32_t, SdkAlarmerRecord* alarmer, char* alarm, uint32_t length, void*) {
  if (!alarmer || !alarm || length < sizeof(SdkAlarmRecord)) return;
  // No handler: nothing would give the block back, so none is taken.
  HandleMsgCallback handler = CQXGlobal::m_cbHandleMsg.load();
  if (!handler) return;
  MsgAlarmInfo* msg = CQXGlobal::GetBuffer();
  if (!msg) return;  // pool exhausted: the alarm is dropped
  SdkAlarmRecord rec;
  std::memcpy(&rec, alarm, sizeof rec);
  FillAlarmMessage(*msg, *alarmer, rec);
  handler(msg);
}

void ExceptionTrampoline(uint32_t type, int32_t loginId, int32_t handle, void* user) {
  if (loginId < 0) return;
  // A save the disk refused is the preview's to report; the device itself is fine, and the
  // program's handler takes every exception for a lost device.
  if (type == SDK_EXCEPTION_SAVE_STOPPED) {
    CDevQXPreview::OnSaveStopped(handle);
    return;
  }
  CQXGlobal::HandleException(type, loginId, handle, user);
}

}  // namespace hollin

int CQXGlobal::Startup() { return RecNet_Init(); }
int CQXGlobal::Cleanup() { return RecNet_Cleanup(); }
int CQXGlobal::StartListen(char*, unsigned short, void*) { return 0; }
int CQXGlobal::StopListen() { return 0; }
int CQXGlobal::EnableLog2File(int, char*, int) { return 0; }

void CQXGlobal::RegisterHandleMessage(void* handler) {
  m_cbHandleMsg = reinterpret_cast<HandleMsgCallback>(handler);
}
void CQXGlobal::RegisterAllocator(void* allocator) {
  m_GetMsgBuffer = reinterpret_cast<GetMsgBufferCallback>(allocator);
}
void CQXGlobal::RegisterHandleException(void* handler) {
  m_cbException = reinterpret_cast<HandleExceptionCallback>(handler);
}

void CQXGlobal::RegisterAlarmCallback(void* callback, void* user) {
  if (callback)
    RecNet_SetDVRMessageCallBack(reinterpret_cast<SdkMessageCallBack>(callback), user);
  else
    RecNet_SetDVRMessageCallBack(&hollin::AlarmTrampoline, nullptr);
}

int CQXGlobal::RegisterExceptionCallBack() {
  return RecNet_SetExceptionCallBack(0, 0, &hollin::ExceptionTrampoline, nullptr);
}

int CQXGlobal::IsMessageCallbackRegistered() { return m_cbHandleMsg.load() ? 1 : 0; }

void CQXGlobal::HandleMsg(MsgAlarmInfo* message) {
  if (auto h = m_cbHandleMsg.load()) h(message);
}

void CQXGlobal::HandleException(uint32_t type, int32_t loginId, int32_t handle, void* user) {
  if (auto h = m_cbException.load()) h(type, loginId, handle, user);
}

MsgAlarmInfo* CQXGlobal::GetBuffer() {
  // One allocation path: blocks come from the program's pool only, so every block handed to
  // the handler can go back to that pool.
  GetMsgBufferCallback alloc = m_GetMsgBuffer.load();
  return alloc ? static_cast<MsgAlarmInfo*>(alloc()) : nullptr;
}
