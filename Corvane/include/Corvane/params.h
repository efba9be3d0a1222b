#pragma once
// Parameter get/set and firmware upload. Each buffer is exactly its record's size
// (Corvane/records.h); results are 1 for success and 0 for failure, and a failed exchange
// leaves the buffer as the caller filled it.
#include "Corvane/types.h"

// Firmware progress: kind 1, value the percentage sent.
using IpcProgressCallback = void (*)(int kind, int value, void* user);

extern "C" {
int IPC_GetFactoryParam(IPC_HANDLE session, void* param);
int IPC_GetAbilityParam(IPC_HANDLE session, void* param);
int IPC_SetNetParam(IPC_HANDLE session, void* param);
int IPC_GetNetParam(IPC_HANDLE session, void* param);
int IPC_SetVideoParam(IPC_HANDLE session, void* param);
int IPC_GetVideoParam(IPC_HANDLE session, void* param);
int IPC_SetPictureParam(IPC_HANDLE session, void* param);
int IPC_GetPictureParam(IPC_HANDLE session, void* param);
int IPC_SetAudioParam(IPC_HANDLE session, void* param);
int IPC_GetAudioParam(IPC_HANDLE session, void* param);
int IPC_SetModParam(IPC_HANDLE session, void* param);
int IPC_GetModParam(IPC_HANDLE session, void* param);
int IPC_SetMaskParam(IPC_HANDLE session, void* param);
int IPC_GetMaskParam(IPC_HANDLE session, void* param);
int IPC_SetPtzParam(IPC_HANDLE session, void* param);
int IPC_GetPtzParam(IPC_HANDLE session, void* param);
int IPC_SetPtzCommand(IPC_HANDLE session, void* param);
int IPC_GetAlarmParam(IPC_HANDLE session, void* param);
int IPC_SetAlarmParam(IPC_HANDLE session, void* param);
int IPC_SetTimeParam(IPC_HANDLE session, void* param);
int IPC_GetTimeParam(IPC_HANDLE session, void* param);
int IPC_RebootParam(IPC_HANDLE session, void* param);
int IPC_SetAlarmClose(IPC_HANDLE session, void* param);
int IPC_GetOsdParam(IPC_HANDLE session, void* param);
int IPC_SetOsdParam(IPC_HANDLE session, void* param);

// header: the caller's 136-byte firmware header; its u32 at 4 receives the file's size.
int IPC_FirewareUpdate(IPC_HANDLE session, void* header, const char* path,
                       IpcProgressCallback progress, void* user);
}
