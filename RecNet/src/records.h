#pragma once
// Copies between the recorder library's records and the SDK's, field by field.
#include <cstdint>

#include "RecNet.h"
#include "Saxtrum.h"

namespace recnet {

QX_DVR_TIME ToQx(const SdkTime& t);
SdkTime FromQx(const QX_DVR_TIME& t);
void FromQx(const QX_DVR_DEVICEINFO& in, SdkDeviceInfo& out);
void FromQx(const QX_DVR_FIND_DATA& in, SdkFindData& out);
// The message callback's two records, from the recorder library's blocks of the same sizes.
void AlarmerFromBytes(const uint8_t* in, SdkAlarmerRecord& out);
void AlarmFromBytes(const uint8_t* in, SdkAlarmRecord& out);

}  // namespace recnet
