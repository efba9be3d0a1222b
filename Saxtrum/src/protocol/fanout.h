#pragma once
// The fan-out of received data, alarms and disconnect reports to the client's callbacks.
#include <cstddef>
#include <cstdint>

#include "protocol/packet.h"

namespace saxtrum {

using FanOutFn = int (*)(int32_t userId, int32_t slot, uint32_t command, uint8_t* data,
                         uint32_t length);
void installFanOut(FanOutFn fn);
// Calls the installed fan-out (nothing before the library is initialised).
int fanOut(int32_t userId, int32_t slot, uint32_t command, uint8_t* data, uint32_t length);

// Wire alarm record (code 37) offsets.
constexpr size_t kAlarmOffVersion = 8, kAlarmOffSerial = 12, kAlarmOffName = 60,
                 kAlarmOffMac = 92, kAlarmOffPort = 98, kAlarmOffIp = 100,
                 kAlarmOffChannels = 116, kAlarmChannelEntry = 8, kAlarmChannels = 16;

// The two records the message callback gets.
constexpr size_t kAlarmerSize = 372;
constexpr size_t kAlarmInfoSize = 268;
constexpr size_t kAlarmerOffUser = 8, kAlarmerOffSerial = 12, kAlarmerOffVersion = 60,
                 kAlarmerOffName = 64, kAlarmerOffMac = 96, kAlarmerOffPort = 102,
                 kAlarmerOffIp = 104, kAlarmerOffSocketIp = 232, kAlarmerOffProtocol = 360;
constexpr size_t kInfoOffType = 0, kInfoOffInput = 4, kInfoOffOutputs = 8,
                 kInfoOffRelated = 104, kInfoOffChannels = 168, kInfoOffDisks = 232;

// Builds the alarmer record from a wire alarm record.
void buildAlarmer(int32_t userId, const uint8_t* wire, uint8_t* alarmer);
// Calls emit(alarmInfo) once per alarm type present in the wire record, in the fixed order
// motion, input, masking, video loss, disk.
template <typename Emit>
void forEachAlarm(const uint8_t* wire, Emit&& emit);

}  // namespace saxtrum

#include "protocol/fanout_impl.h"
