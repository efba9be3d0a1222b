#pragma once
// The callbacks the recorder SDK calls on its own threads.
#include "RecNet.h"
#include "Hollin/Records.h"

namespace hollin {

void AlarmTrampoline(int32_t command, SdkAlarmerRecord* alarmer, char* alarm, uint32_t length,
                     void* user);
void ExceptionTrampoline(uint32_t type, int32_t loginId, int32_t handle, void* user);
// Fills a message from the SDK's two records (exposed for tests).
void FillAlarmMessage(MsgAlarmInfo& msg, const SdkAlarmerRecord& alarmer,
                      const SdkAlarmRecord& alarm);

}  // namespace hollin
