#pragma once
// Sessions: one login to one camera, with its control and alarm channels and one hook that
// reports what happens. Handles are looked up on every call; a closed or unknown handle
// makes each export return 0.
#include "Corvane/protocol.h"
#include "Corvane/types.h"

// IpcSessionHook events (the length argument is always 0).
enum IpcSessionEvent : int {
  kIpcEvControlLost = 1,       // data: session handle
  kIpcEvVideoConnected = 2,
  kIpcEvVideoLost = 3,
  kIpcEvAudioConnected = 4,
  kIpcEvAudioLost = 5,
  kIpcEvControlOpen = 6,       // data: session handle
  kIpcEvAlarm = 9,             // data: the 532-byte alarm payload, valid during the call
  kIpcEvRecordClosed = 10,
  kIpcEvVideoFull = 11,
  kIpcEvAudioFull = 12,
  kIpcEvTalkFailed = 13,
  kIpcEvRecordFailed = 14,     // data: stream handle; the disk refused a write, the file is
                               // closed (event 10 came first) and the recording has ended
  kIpcEvPlaybackNotOpened = 17,
  kIpcEvPlaybackEnded = 18,
  kIpcEvPlaybackNotSent = 19,
};

// Called on the library's threads, never on the caller's.
using IpcSessionHook = void (*)(int event, void* data, int length, void* user);

extern "C" {
IPC_HANDLE IPC_SessionOpen(const IpcLoginInfo* login);
int IPC_SessionClose(IPC_HANDLE session);
int IPC_SetSessionHook(IPC_HANDLE session, IpcSessionHook hook, void* user);
int IPC_CleanSessionHook(IPC_HANDLE session);
}
