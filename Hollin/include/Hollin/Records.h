#pragma once
// Records shared by the device access layer and the program. These are in-process records
// (not wire records): both sides are built by one compiler, and the sizes the callers rely on
// are checked below.
#include <cstddef>
#include <cstdint>

struct TIME {
  int32_t year;
  int32_t month;  // 1-12
  int32_t day;
  int32_t hour;
  int32_t minute;
  int32_t second;
};
static_assert(sizeof(TIME) == 24);

// File types of a search: 255 all, 0 scheduled, 1 motion, 2 alarm, 3 alarm or motion, 6 manual.
struct tagSearchFileCondition {
  int32_t channel;  // 0-based
  int32_t fileType;
  TIME start;
  TIME end;
};
static_assert(sizeof(tagSearchFileCondition) == 56);

// Accepted by the event finder factory, which makes no object; no field is read.
struct tagSearchEventCondition {
  int32_t channel;
  int32_t eventType;
  TIME start;
  TIME end;
};

// One found file; the caller zeroes it before FindNext.
struct tagRemoteFileInfo {
  uint16_t word0;  // recorders of type 4: first word of the device's result record
  uint8_t pad0[2];
  char fileName[256];
  TIME start;
  TIME end;
  uint32_t fileSize;
  uint8_t locked;  // recorders of type 1: the file's locked flag
  uint8_t pad1[3];
  uint16_t word1;  // recorders of type 4: second word of the device's result record
  uint8_t pad2[2];
};
static_assert(offsetof(tagRemoteFileInfo, fileName) == 4);
static_assert(offsetof(tagRemoteFileInfo, start) == 260);
static_assert(offsetof(tagRemoteFileInfo, end) == 284);
static_assert(offsetof(tagRemoteFileInfo, fileSize) == 308);
static_assert(offsetof(tagRemoteFileInfo, locked) == 312);
static_assert(offsetof(tagRemoteFileInfo, word1) == 316);

// The argument of IDevConfig: the caller's record and its size travel with the request, so
// a read never writes past the caller's record.
struct tagDevConfigRequest {
  int32_t channel;     // the device's channel index (the program passes channel number - 1)
  int32_t configType;  // see the recorder family's type table
  void* record;        // the caller's record
  int32_t recordSize;  // bytes the caller's record holds
  uint32_t returned;   // bytes written by a read
  int32_t reserved;    // callers pass 3
  intptr_t loginHandle;
};

// Alarm types.
enum : int32_t {
  ALARM_SIGNAL_INPUT = 0,
  ALARM_DISK_FULL = 1,
  ALARM_VIDEO_LOSS = 2,
  ALARM_MOTION = 3,
  ALARM_TYPE4 = 4,
  ALARM_DISK_ERROR = 5,
  ALARM_VIDEO_MASKING = 6,
};

// The 400-byte alarm message that travels from the device layer to the program's handler
// in a block from the program's pool.
struct MsgAlarmInfo {
  int32_t loginId;
  int32_t alarmType;
  uint8_t zero8[4];
  int32_t flagCount;  // 64 for channel alarms (types 0, 2, 3, 6), 33 for disk alarms (1, 5)
  uint8_t flags[64];
  uint8_t zero80[64];
  char deviceName[32];
  uint8_t zero176[96];
  char deviceIP[128];
};
static_assert(sizeof(MsgAlarmInfo) == 400);
static_assert(offsetof(MsgAlarmInfo, flags) == 16);
static_assert(offsetof(MsgAlarmInfo, deviceName) == 144);
static_assert(offsetof(MsgAlarmInfo, deviceIP) == 272);
constexpr size_t kMsgAlarmInfoSize = 400;
