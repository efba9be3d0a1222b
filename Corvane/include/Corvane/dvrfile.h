#pragma once
// A camera's or recorder's own recordings: search (one record per file), download (the file
// as a series of data pieces) and playback into a window with speed control. The request
// records are built by the caller and travel unchanged.
#include <cstddef>
#include <cstdint>

#include "Corvane/types.h"

constexpr size_t kIpcFileSearchCondSize = 144;
constexpr size_t kIpcDownloadRequestSize = 132;
constexpr size_t kIpcPlaybackRequestSize = 136;
constexpr size_t kIpcFileRecordSize = 532;

struct IpcFileSearchCond {
  uint8_t bytes[kIpcFileSearchCondSize];
};
struct IpcDownloadRequest {
  uint8_t bytes[kIpcDownloadRequestSize];
};
struct IpcPlaybackRequest {
  uint8_t bytes[kIpcPlaybackRequestSize];
};

// Search callback kinds: 0 a file record (532 bytes), 1 the end of the list (no record).
constexpr int kIpcSearchRecord = 0;
constexpr int kIpcSearchEnd = 1;
// Download callback kinds: 2 accepted (info = the reply's payload), 3 a piece of data,
// 4 the end (info = the end message's payload).
constexpr int kIpcDownloadAccepted = 2;
constexpr int kIpcDownloadData = 3;
constexpr int kIpcDownloadEnd = 4;

// Playback speed codes (the argument of the playback request).
constexpr uint16_t kIpcPlayOpen = 0x50AA;
constexpr uint16_t kIpcPlayPause = 0x50A1;
constexpr uint16_t kIpcPlayNormal = 0x50A2;
constexpr uint16_t kIpcPlayFast1 = 0x50A3;
constexpr uint16_t kIpcPlaySlow1 = 0x50A6;

// Pointers are valid during the call only.
using IpcSearchCallback = void (*)(int kind, const void* record, void* user);
using IpcDownloadCallback = void (*)(int kind, const void* info, const void* data, int length,
                                     void* user);

extern "C" {
IPC_HANDLE IPC_DvrFilOpen(IPC_HANDLE session);
int IPC_DvrFilClose(IPC_HANDLE task);
// Block the calling thread for the whole transfer and return 0 in every case: what came,
// the end mark among it, is told through the callback. Reading goes on behind the end mark
// until a message of another kind, the camera closing the connection, or a 5-second wait
// that runs out.
int IPC_DvrSearchFil(IPC_HANDLE task, IpcFileSearchCond condition, IpcSearchCallback callback,
                     void* user);
int IPC_DvrDonloadFil(IPC_HANDLE task, IpcDownloadRequest request, IpcDownloadCallback callback,
                      void* user);

IPC_HANDLE IPC_DvrPlayBackOpen(IPC_HANDLE session, intptr_t window,
                               const IpcPlaybackRequest* request);
int IPC_DvrPlayBackOpenFile(IPC_HANDLE playback, const IpcPlaybackRequest* request);
int IPC_DvrPlayBackSpeedCtrl(IPC_HANDLE playback, uint16_t speedCode);
int IPC_DvrPlayBackStartAudio(IPC_HANDLE playback, int on);
// 1 once the playback's stream has ended (the device's end of the file, a connection that
// broke or sent nothing within the packet wait, an open request that could not be sent) and
// no open request has been made since; 0 while it streams or a request is on its way; -1
// for a handle that is no playback.
int IPC_DvrPlayBackEnded(IPC_HANDLE playback);
int IPC_DvrPlayBackClose(IPC_HANDLE playback);
}
