#pragma once
// Device log, alarm reporting, device control, configuration files and firmware, and PTZ.
#include <stdint.h>

#include "Saxtrum/Files.h"

#ifdef __cplusplus
extern "C" {
#endif

// Bytes of one log record handed to the client.
#define QX_DVR_LOG_SIZE 4328
#define QX_DVR_ALARMOUT_STATUS_SIZE 96
#define QX_DVR_PTZCRUISE_SIZE 128

int32_t QX_DVR_FindDVRLog(int32_t userId, int32_t mode, uint32_t majorType, uint32_t minorType,
                          const QX_DVR_TIME* start, const QX_DVR_TIME* end);
// 1000 a record, 1003 none left, 1004 an error or a bad handle.
int32_t QX_DVR_FindNextLog(int32_t logHandle, uint8_t* record);
int QX_DVR_FindLogClose(int32_t logHandle);

int32_t QX_DVR_SetupAlarmChan(int32_t userId);
int QX_DVR_CloseAlarmChan(int32_t alarmHandle);

int QX_DVR_RebootDVR(int32_t userId);
int QX_DVR_ShutDownDVR(int32_t userId);
int32_t QX_DVR_FormatDisk(int32_t userId, int32_t disk);
int QX_DVR_GetAlarmOut(int32_t userId, uint8_t* status);
int QX_DVR_SetAlarmOut(int32_t userId, int32_t output, int32_t state);
int QX_DVR_StartDVRRecord(int32_t userId, int32_t channel, int32_t recordType);
int QX_DVR_StopDVRRecord(int32_t userId, int32_t channel);
int QX_DVR_RestoreConfig(int32_t userId);

// Configuration file export (path null: the device names the file), import and firmware
// upgrade; files move in chunks of 20,480 bytes.
int QX_DVR_GetConfigFile(int32_t userId, const char* path);
int QX_DVR_SetConfigFile(int32_t userId, const char* path);
int QX_DVR_Upgrade(int32_t userId, const char* path);

// PTZ on a live-view handle.
int QX_DVR_PTZControl(int32_t handle, uint32_t command, uint32_t stop);
int QX_DVR_PTZPreset(int32_t handle, uint32_t command, uint32_t preset);
int QX_DVR_PTZCruise(int32_t handle, uint32_t command, uint8_t route, uint8_t point,
                     uint16_t value);
int QX_DVR_PTZTrack(int32_t handle, uint32_t command);
int QX_DVR_GetPTZCruise(int32_t userId, int32_t channel, int32_t route, uint8_t* cruise);
int QX_DVR_GetPTZProtocol(int32_t handle, void* protocol);

#ifdef __cplusplus
}
#endif
