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

// Exception types handed to the exception callback.
constexpr uint32_t SDK_EXCEPTION_EXCHANGE = 0x8000;  // the login's connection was lost
// Saving a live view stopped by itself: the disk refused a write, and the file ends at its
// last whole packet. The handle is the live handle; the connection itself is fine.
constexpr uint32_t SDK_EXCEPTION_SAVE_STOPPED = 0x8100;

// Start-up is counted: the first RecNet_Init starts the recorder library, the last
// RecNet_Cleanup stops it; calls in between only count.
int RecNet_Init();
int RecNet_Cleanup();
int RecNet_SetDVRMessageCallBack(SdkMessageCallBack callback, void* user);
int RecNet_SetExceptionCallBack(uint32_t message, intptr_t window,
                                 SdkExceptionCallBack callback, void* user);
// The error of the calling thread's last RecNet call: the stand-in's own when that call set
// one (3: a RecNet_Cleanup without its RecNet_Init; SDK_ERROR_NO_ANSWER), else the recorder
// library's.
uint32_t RecNet_GetLastError();
// The last configuration write of the calling thread went out and got no answer in time.
constexpr uint32_t SDK_ERROR_NO_ANSWER = 700;

// ---- Login --------------------------------------------------------------------------------

constexpr size_t SDK_DEVICEINFO_SIZE = 80;

// Filled by a successful login (80 bytes).
struct SdkDeviceInfo {
  char serialNumber[48];
  uint8_t alarmInPortNum;   // 48
  uint8_t alarmOutPortNum;  // 49
  uint8_t diskNum;          // 50
  uint8_t dvrType;          // 51
  uint8_t chanNum;          // 52
  uint8_t startChan;        // 53
  uint8_t audioChanNum;     // 54
  uint8_t ipChanNum;        // 55
  uint8_t byte56;           // 56
  uint8_t reserved[23];
};
static_assert(sizeof(SdkDeviceInfo) == SDK_DEVICEINFO_SIZE);
static_assert(offsetof(SdkDeviceInfo, alarmInPortNum) == 48);
static_assert(offsetof(SdkDeviceInfo, byte56) == 56);

// The login id (0..127), or -1.
int32_t RecNet_Login(const char* address, uint16_t port, const char* user, const char* password,
                      SdkDeviceInfo* deviceInfo);
int RecNet_Logout(int32_t loginId);

// ---- Live view ----------------------------------------------------------------------------

constexpr uint32_t SDK_LINK_SUBSTREAM = 0x80000000u;

struct SdkClientInfo {
  int32_t channel;    // 1..16
  uint32_t linkMode;  // SDK_LINK_SUBSTREAM for the sub stream, 0 for the main stream
  intptr_t window;    // 0: decode without showing
  char* multicastIP;  // not used
};

// Live data: every packet of the stream (data type 2).
using SdkRealDataCallBack = void (*)(int32_t realHandle, uint32_t dataType, uint8_t* data,
                                     uint32_t size, void* user);
// Called for each picture shown: the window's drawing surface and its client area.
using SdkDrawFun = void (*)(int32_t realHandle, intptr_t dc, void* user, int32_t left,
                            int32_t top, int32_t right, int32_t bottom);

// The live handle, or -1. A data callback given here is set as by RecNet_SetRealDataCallBack.
int32_t RecNet_RealPlay(int32_t loginId, const SdkClientInfo* client,
                         SdkRealDataCallBack callback, void* user, int blocking);
int RecNet_StopRealPlay(int32_t realHandle);
int RecNet_SetRealDataCallBack(int32_t realHandle, SdkRealDataCallBack callback, void* user);
// Null unregisters.
int RecNet_RigisterDrawFun(int32_t realHandle, SdkDrawFun fun, void* user);
int RecNet_SaveRealData(int32_t realHandle, uint32_t mode, const char* path);
int RecNet_StopSaveRealData(int32_t realHandle);
int RecNet_CapturePicture(int32_t realHandle, const char* bmpPath);
int RecNet_OpenSound(int32_t realHandle);
int RecNet_CloseSound();
int RecNet_Volume(int32_t realHandle, uint16_t volume);
// Brightness, contrast, saturation and hue, each 1..10.
int RecNet_ClientSetVideoEffect(int32_t realHandle, uint32_t brightness, uint32_t contrast,
                                 uint32_t saturation, uint32_t hue);
int RecNet_ClientGetVideoEffect(int32_t realHandle, uint32_t* brightness, uint32_t* contrast,
                                 uint32_t* saturation, uint32_t* hue);

// ---- Talk ---------------------------------------------------------------------------------

// `target` is a live handle (talk on its login and channel) or a login id (channel 1, or
// `channel` when it is 1..16). The other values are accepted and not used. Talk handle or -1.
int32_t RecNet_StartVoiceCom(int32_t target, intptr_t channel, intptr_t unused1,
                              intptr_t unused2, intptr_t unused3);
int RecNet_StopVoiceCom(int32_t talkHandle);

// ---- PTZ ----------------------------------------------------------------------------------

constexpr size_t SDK_PTZCRUISE_SIZE = 128;  // 32 points: preset, dwell, speed, reserved

int RecNet_PTZControl(int32_t realHandle, uint32_t command, uint32_t stop);
int RecNet_PTZPreset(int32_t realHandle, uint32_t command, uint32_t preset);
int RecNet_PTZCruise(int32_t realHandle, uint32_t command, uint8_t route, uint8_t point,
                      uint16_t value);
int RecNet_PTZTrack(int32_t realHandle, uint32_t command);
// 1 with the 128-byte cruise in `cruise`, else 0.
int RecNet_GetPTZCruise(int32_t loginId, int32_t channel, int32_t route, uint8_t* cruise);

// ---- Device control and log ---------------------------------------------------------------

struct SdkTime {
  uint32_t year, month, day, hour, minute, second;
};
static_assert(sizeof(SdkTime) == 24);

int RecNet_RebootDVR(int32_t loginId);
int RecNet_ShutDownDVR(int32_t loginId);
int RecNet_StartDVRRecord(int32_t loginId, int32_t channel, int32_t recordType);
int RecNet_StopDVRRecord(int32_t loginId, int32_t channel);

constexpr size_t SDK_LOG_SIZE = 4332;
// Log search handle or -1; `flag` is accepted and not used.
int32_t RecNet_FindDVRLog(int32_t loginId, int32_t mode, uint32_t majorType, uint32_t minorType,
                           const SdkTime* start, const SdkTime* end, int32_t flag);
// SDK_FIND_* status; the record gets the device's log entry at its start.
int32_t RecNet_FindNextLog(int32_t logHandle, uint8_t* record);
int RecNet_FindLogClose(int32_t logHandle);

// ---- Alarms -------------------------------------------------------------------------------

// Alarms of the login reach the message callback while the channel is set up. Handle or -1.
int32_t RecNet_SetupAlarmChan(int32_t loginId);
int RecNet_CloseAlarmChan(int32_t alarmHandle);

// ---- Recorded files -----------------------------------------------------------------------

// Search and log statuses.
constexpr int32_t SDK_FIND_SUCCESS = 1000;    // a record was returned
constexpr int32_t SDK_FIND_NOFILE = 1001;     // the search found nothing
constexpr int32_t SDK_FIND_SEARCHING = 1002;  // ask again
constexpr int32_t SDK_FIND_NOMORE = 1003;     // every record was returned
constexpr int32_t SDK_FIND_EXCEPTION = 1004;  // the search failed or the handle is unknown

constexpr size_t SDK_FILECOND_SIZE = 96;
constexpr size_t SDK_FINDDATA_SIZE = 188;

// Search condition: channel 1..16 at 0, file type at 4 (255 all), 255 at 8, times at 48, 72.
struct SdkFileCond {
  int32_t channel;
  uint32_t fileType;
  uint32_t isLocked;
  uint8_t reserved[36];
  SdkTime start;
  SdkTime end;
};
static_assert(sizeof(SdkFileCond) == SDK_FILECOND_SIZE);
static_assert(offsetof(SdkFileCond, start) == 48);
static_assert(offsetof(SdkFileCond, end) == 72);

// One found file.
struct SdkFindData {
  char fileName[100];
  SdkTime start;
  SdkTime end;
  uint32_t fileSize;
  uint8_t reserved[32];
  uint8_t locked;
  uint8_t reserved2[3];
};
static_assert(sizeof(SdkFindData) == SDK_FINDDATA_SIZE);
static_assert(offsetof(SdkFindData, start) == 100);
static_assert(offsetof(SdkFindData, fileSize) == 148);
static_assert(offsetof(SdkFindData, locked) == 184);

// Find handle or -1. The search runs on: RecNet_FindNextFile answers SDK_FIND_SEARCHING
// until the next record (or the end) is known.
int32_t RecNet_FindFile(int32_t loginId, const SdkFileCond* condition);
int32_t RecNet_FindNextFile(int32_t findHandle, SdkFindData* data);
int RecNet_FindClose(int32_t findHandle);

// Playback control codes.
enum : uint32_t {
  SDK_PLAYSTART = 1, SDK_PLAYSTOP = 2, SDK_PLAYPAUSE = 3, SDK_PLAYRESTART = 4, SDK_PLAYFAST = 5,
  SDK_PLAYSLOW = 6, SDK_PLAYNORMAL = 7, SDK_PLAYFRAME = 8, SDK_PLAYSTARTAUDIO = 9,
  SDK_PLAYSTOPAUDIO = 10, SDK_PLAYAUDIOVOLUME = 11, SDK_PLAYSETPOS = 12, SDK_PLAYGETPOS = 13,
  SDK_PLAYGETTIME = 14, SDK_PLAYGETFRAME = 15, SDK_GETTOTALFRAMES = 16, SDK_GETTOTALTIME = 17,
};

int32_t RecNet_PlayBackByName(int32_t loginId, const char* fileName, intptr_t window);
// On a download handle, SDK_PLAYSTART answers 1: the transfer already runs.
int RecNet_PlayBackControl(int32_t handle, uint32_t code, uint32_t valueIn, uint32_t* valueOut);
int RecNet_PlayBackCaptureFile(int32_t playHandle, const char* bmpPath);
int RecNet_StopPlayBack(int32_t playHandle);

int32_t RecNet_GetFileByName(int32_t loginId, const char* remoteName, const char* localPath);
int RecNet_GetDownloadPos(int32_t downloadHandle);  // percent, -1 for an unknown handle
int RecNet_StopGetFile(int32_t downloadHandle);

// ---- Configuration ------------------------------------------------------------------------

// Reads the record of a configuration command (read numbers) for a 0-based channel,
// alarm-input or alarm-output index into `buffer`; `size` must hold the command's record.
// *returned (may be null) gets the record's size. 1 or 0.
int RecNet_ReadConfig(int32_t loginId, uint32_t command, int32_t index, void* buffer,
                       uint32_t size, uint32_t* returned);
// Writes a record (write numbers). 1 when the device took it, else 0. After a 0,
// RecNet_GetLastError on the same thread is SDK_ERROR_NO_ANSWER when the request went out and
// no answer came in time: the device may have carried it out.
int RecNet_WriteConfig(int32_t loginId, uint32_t command, int32_t index, const void* buffer,
                        uint32_t size);

}  // extern "C"
