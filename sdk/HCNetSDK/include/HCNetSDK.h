#pragma once
// Our stand-in for the recorder maker's network SDK. It carries each call onto the recorder
// library of this project, so recorders speaking that protocol work for real.
#include <cstddef>
#include <cstdint>

extern "C" {

// The alarmer record handed to the message callback (372 bytes).
struct SdkAlarmerRecord {
  uint8_t valid[8];
  int32_t userId;  // the login id
  char serialNumber[48];
  uint32_t deviceVersion;
  char deviceName[32];
  uint8_t mac[6];
  uint16_t linkPort;
  char deviceIP[128];
  char socketIP[128];
  uint8_t ipProtocol;
  uint8_t reserved[11];
};
static_assert(sizeof(SdkAlarmerRecord) == 372);
static_assert(offsetof(SdkAlarmerRecord, userId) == 8);
static_assert(offsetof(SdkAlarmerRecord, deviceName) == 64);
static_assert(offsetof(SdkAlarmerRecord, deviceIP) == 104);

// The alarm record handed to the message callback (268 bytes).
struct SdkAlarmRecord {
  int32_t alarmType;
  int32_t alarmInputNumber;
  uint8_t alarmOutputs[96];
  uint8_t relatedChannels[64];
  uint8_t channels[64];
  uint8_t disks[33];
  uint8_t reserved[3];
};
static_assert(sizeof(SdkAlarmRecord) == 268);
static_assert(offsetof(SdkAlarmRecord, relatedChannels) == 104);
static_assert(offsetof(SdkAlarmRecord, channels) == 168);
static_assert(offsetof(SdkAlarmRecord, disks) == 232);

constexpr int32_t SDK_COMM_ALARM = 0x4000;

using SdkMessageCallBack = void (*)(int32_t command, SdkAlarmerRecord* alarmer,
                                    char* alarmInfo, uint32_t length, void* user);
using SdkExceptionCallBack = void (*)(uint32_t type, int32_t loginId, int32_t handle,
                                      void* user);

int NET_DVR_Init();
int NET_DVR_Cleanup();
int NET_DVR_SetDVRMessageCallBack(SdkMessageCallBack callback, void* user);
int NET_DVR_SetExceptionCallBack(uint32_t message, intptr_t window,
                                 SdkExceptionCallBack callback, void* user);
uint32_t NET_DVR_GetLastError();

}  // extern "C"
