#pragma once
// Inside the stand-in: hands alarms and exceptions to the callbacks the caller registered.
#include "RecNet.h"

void SdkDeliverAlarm(int32_t command, SdkAlarmerRecord* alarmer, SdkAlarmRecord* alarm);
void SdkDeliverException(uint32_t type, int32_t loginId, int32_t handle);
