#pragma once
// Recorded files on the device: search, playback by name and download.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Search results of QX_DVR_FindNextFile.
#define QX_DVR_FILE_SUCCESS 1000
#define QX_DVR_FILE_NOFIND 1001
#define QX_DVR_ISFINDING 1002
#define QX_DVR_NOMOREFILE 1003
#define QX_DVR_FILE_EXCEPTION 1004

// File types of a search: 255 all, 0 scheduled, 1 motion, 2 alarm, 3 alarm or motion,
// 6 manual.
#define QX_DVR_FILE_ALL 255

typedef struct {
  uint32_t dwYear, dwMonth, dwDay, dwHour, dwMinute, dwSecond;
} QX_DVR_TIME;

// Search condition: channel 1..16 at 0, file type at 4, start time at 48, end time at 72.
typedef struct {
  int32_t lChannel;
  uint32_t dwFileType;
  uint8_t byRes[40];
  QX_DVR_TIME struStartTime;
  QX_DVR_TIME struStopTime;
} QX_DVR_FILECOND;

typedef struct {
  char sFileName[100];
  QX_DVR_TIME struStartTime;
  QX_DVR_TIME struStopTime;
  uint32_t dwFileSize;
} QX_DVR_FIND_DATA;

// Playback control codes.
#define QX_DVR_PLAYSTART 1
#define QX_DVR_PLAYSTOP 2
#define QX_DVR_PLAYPAUSE 3
#define QX_DVR_PLAYRESTART 4
#define QX_DVR_PLAYFAST 5
#define QX_DVR_PLAYSLOW 6
#define QX_DVR_PLAYNORMAL 7
#define QX_DVR_PLAYFRAME 8
#define QX_DVR_PLAYSTARTAUDIO 9
#define QX_DVR_PLAYSTOPAUDIO 10
#define QX_DVR_PLAYAUDIOVOLUME 11
#define QX_DVR_PLAYSETPOS 12
#define QX_DVR_PLAYGETPOS 13

int32_t QX_DVR_FindFile(int32_t userId, const QX_DVR_FILECOND* condition);
int32_t QX_DVR_FindNextFile(int32_t findHandle, QX_DVR_FIND_DATA* data);
int QX_DVR_FindClose(int32_t findHandle);

int32_t QX_DVR_PlayBackByName(int32_t userId, const char* fileName, intptr_t window);
int QX_DVR_PlayBackControl(int32_t handle, uint32_t code, uint32_t valueIn, uint32_t* valueOut);
int QX_DVR_SetPlayDataCallBack(int32_t handle,
                               void (*callback)(int32_t handle, uint32_t dataType,
                                                uint8_t* data, uint32_t length, void* user),
                               void* user);
int QX_DVR_PlayBackSaveData(int32_t handle, const char* path);
int QX_DVR_PlayBackCaptureFile(int32_t handle, const char* path);
int QX_DVR_StopPlayBack(int32_t handle);

int32_t QX_DVR_GetFileByName(int32_t userId, const char* remoteName, const char* localPath);
int QX_DVR_GetDownloadPos(int32_t handle);
int QX_DVR_StopGetFile(int32_t handle);

#ifdef __cplusplus
}
#endif
