#pragma once
// Recording a live stream into AVI files. Each closed file is announced to the session's
// hook as event 10 with a 272-byte record: u32 0, u32 start time, u32 end time (seconds
// since 1970), u32 bytes of data written, 256 bytes of file name (UTF-8, zero-terminated).
#include "Corvane/types.h"

constexpr int IPC_EVENT_RECORD_FILE_CLOSED = 10;
constexpr int IPC_RECORD_FILE_INFO_SIZE = 272;

extern "C" {
// baseName carries folder and prefix ("D:\\rec\\cam1"); files are named
// baseName_YYYYMMDD_HHMMSS.avi. 1, or 0 when the file could not be created.
int IPC_StartRecord(IPC_HANDLE stream, const char* baseName);
// 1, or 0 when no file was open or it could not be finished.
int IPC_StopRecord(IPC_HANDLE stream);
}
