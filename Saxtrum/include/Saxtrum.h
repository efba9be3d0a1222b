#pragma once
// The recorder library: a QX_DVR_* function interface over the recorder's own TCP protocol.
// User ids are 0..127; stream handles are (user id << 16) | request slot (0..31).
// Functions return a handle or user id (-1 on failure) or 1 / 0.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QX_DVR_VERSION 0x30000
#define QX_DVR_ERROR_NO_LOGIN_SLOT 52  // login table full or user id out of range
#define QX_DVR_COMMAND_ALARM 0x4000    // message callback command for alarms
#define QX_DVR_EXCEPTION_DISCONNECT 0
// Saving a stream stopped by itself (the disk refused a write; the file ends at its last
// whole packet). The exception callback's user id value is then the stream handle.
#define QX_DVR_EXCEPTION_SAVE_STOPPED 1
#define QX_DVR_DATA_STREAM 2           // data type of live and playback callbacks
#define QX_DVR_ALARMER_SIZE 372
#define QX_DVR_ALARM_INFO_SIZE 268
#define QX_DVR_DEVICE_INFO_SIZE 80

// Live-view request of the client (not a wire record).
typedef struct {
  int32_t lChannel;     // 1..16
  uint32_t lLinkMode;   // bit 31 selects the sub-stream
  intptr_t hPlayWnd;    // window to show the video in, 0 for none
} QX_DVR_CLIENTINFO;

// Device information filled by a successful login (80 bytes).
typedef struct {
  char sSerialNumber[48];
  uint8_t byInfo[9];    // the device's nine description bytes, as the device sent them
  uint8_t byRes[23];
} QX_DVR_DEVICEINFO;

typedef void (*QX_DVR_MessageCallBack)(int32_t command, char* alarmer, char* alarmInfo,
                                       uint32_t length, void* user);
typedef void (*QX_DVR_ExceptionCallBack)(uint32_t type, int32_t userId, intptr_t window,
                                         void* user);
typedef void (*QX_DVR_DataCallBack)(int32_t handle, uint32_t dataType, uint8_t* data,
                                    uint32_t length, void* user);
typedef void (*QX_DVR_DrawFun)(int32_t port, intptr_t dc, void* user);

// Start-up and settings.
int QX_DVR_Init(void);
int QX_DVR_Cleanup(void);
uint32_t QX_DVR_GetSDKVersion(void);
int QX_DVR_SetConnectTime(uint32_t waitMs);
int QX_DVR_SetReconnect(uint32_t interval, int enable);
uint32_t QX_DVR_GetLastError(void);
int QX_DVR_SetDVRMessageCallBack(QX_DVR_MessageCallBack callback, void* user);
int QX_DVR_SetExceptionCallBack(uint32_t ignored, intptr_t window,
                                QX_DVR_ExceptionCallBack callback, void* user);

// Login.
int32_t QX_DVR_Login(const char* address, uint16_t port, const char* userName,
                     const char* password, QX_DVR_DEVICEINFO* deviceInfo);
int QX_DVR_Logout(int32_t userId);

// Live view.
int32_t QX_DVR_RealPlay(int32_t userId, const QX_DVR_CLIENTINFO* client, intptr_t ignored1,
                        intptr_t ignored2, int wait);
int QX_DVR_StopRealPlay(int32_t handle);
int QX_DVR_SetRealDataCallBack(int32_t handle, QX_DVR_DataCallBack callback, void* user);
int QX_DVR_SaveRealData(int32_t handle, uint32_t ignored, const char* path);
int QX_DVR_StopSaveRealData(int32_t handle);
int QX_DVR_StopPlayBackSave(int32_t handle);
int QX_DVR_RigisterDrawFun(int32_t handle, QX_DVR_DrawFun fun, void* user);
int32_t QX_DVR_GetRealPlayerIndex(int32_t handle);
int QX_DVR_OpenSound(int32_t handle);
int QX_DVR_CloseSound(void);
int QX_DVR_Volume(int32_t handle, uint16_t volume);
int QX_DVR_ClientSetVideoEffect(int32_t handle, uint32_t brightness, uint32_t contrast,
                                uint32_t saturation, uint32_t hue);
int QX_DVR_ClientGetVideoEffect(int32_t handle, uint32_t* brightness, uint32_t* contrast,
                                uint32_t* saturation, uint32_t* hue);
int QX_DVR_CapturePicture(int32_t handle, const char* path);
int QX_DVR_CapturePictureBuf(int32_t userId, int32_t slot, uint8_t* buffer, uint32_t* length);
int QX_DVR_CaptureJPEGPicture(int32_t userId, int32_t channel, void* params, const char* path);

// Talk.
int32_t QX_DVR_StartVoiceCom(int32_t userId, int32_t channel);
int QX_DVR_StopVoiceCom(int32_t talkHandle);
int TalkDataCallBack(const uint8_t* data, uint32_t length, uint32_t value1, uint32_t value2);

// Accepted and answered 0; they do nothing.
int QX_DVR_SetVoiceComClientVolume(int32_t handle, uint16_t volume);
int QX_DVR_SetPlayerBufNumber(int32_t handle, uint32_t count);
int QX_DVR_GetDVRWorkState(int32_t userId, void* state);
int QX_DVR_GetDeviceAbility(int32_t userId, uint32_t type, char* in, uint32_t inLength,
                            char* out, uint32_t outLength);
int QX_DVR_GetFormatProgress(int32_t handle, int32_t* disk, int32_t* position,
                             int32_t* status);
int QX_DVR_CloseFormatHandle(int32_t handle);

// The fan-out of received data, alarms and disconnects to the callbacks above; 0 handled,
// -1 for a bad user id or slot, a free login, or a command other than 3, 5, 37 and 73.
int net_callback_main(int32_t userId, int32_t slot, uint32_t command, uint8_t* data,
                      uint32_t length);

#ifdef __cplusplus
}
#endif

// Files, playback, download, logs, alarms, device control, PTZ and configuration.
#include "Saxtrum/Files.h"
#include "Saxtrum/Control.h"
#include "Saxtrum/Config.h"
