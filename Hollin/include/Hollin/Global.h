#pragma once
// Process-wide hooks of the device access layer: recorder SDK start-up and clean-up, and the
// alarm and exception callbacks that reach the program.
#include <atomic>
#include <cstdint>

#include "Hollin/Records.h"

using HandleMsgCallback = void (*)(MsgAlarmInfo* message);
using GetMsgBufferCallback = void* (*)();
using HandleExceptionCallback = void (*)(uint32_t type, int32_t loginId, int32_t handle,
                                         void* user);
// The recorder SDK's own message callback (command, alarmer record, alarm record, length, user).
using SdkMessageCallback = void (*)(int32_t command, const uint8_t* alarmer,
                                    const uint8_t* alarm, uint32_t length, void* user);

class CQXGlobal {
 public:
  static int Startup();
  static int Cleanup();
  static int StartListen(char* ip, unsigned short port, void* callback);
  static int StopListen();
  static int EnableLog2File(int enable, char* dir, int autoDelete);
  static void RegisterHandleMessage(void* handler);
  static void RegisterAllocator(void* allocator);
  static void RegisterHandleException(void* handler);
  // A null callback installs the library's own alarm trampoline.
  static void RegisterAlarmCallback(void* callback, void* user);
  static int RegisterExceptionCallBack();
  static int IsMessageCallbackRegistered();
  static void HandleMsg(MsgAlarmInfo* message);
  static void HandleException(uint32_t type, int32_t loginId, int32_t handle, void* user);
  // A block from the registered allocator; null when none is registered or it is exhausted.
  static MsgAlarmInfo* GetBuffer();

  // Read and written from SDK threads as well as the UI thread.
  static inline std::atomic<HandleMsgCallback> m_cbHandleMsg{nullptr};
  static inline std::atomic<GetMsgBufferCallback> m_GetMsgBuffer{nullptr};
  static inline std::atomic<HandleExceptionCallback> m_cbException{nullptr};
  static inline long m_lListenHandle = 0;
};
