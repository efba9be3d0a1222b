#pragma once
// One step of the alarm channel: wait for a message, read it whole, hand it to the hook.
#include <cstdint>

namespace corvane {

struct CamSession;

enum class AlarmRead { Idle, Message, Ended, Failed };

// A message whose status is 1, or whose code is 0x0309 or 0x0F02, raises event 9 with its
// 532-byte payload; others are dropped (false).
bool DispatchAlarmMessage(CamSession& s, const uint8_t* msg);
// Waits up to 5 s for the next message on fd and handles it.
AlarmRead ReadAlarmMessage(CamSession& s, int fd);

}  // namespace corvane
