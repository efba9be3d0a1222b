#pragma once
// Live streams: one camera stream received on its own video connection, optionally with the
// camera's audio and the operator's voice sent back. Handles are looked up on every call; a
// closed or unknown handle makes each export return 0.
#include <cstddef>
#include <cstdint>

#include "Corvane/osd.h"
#include "Corvane/types.h"

// Wire records of live media.
constexpr size_t kIpcFrameHeaderSize = 44;    // ahead of every video frame
constexpr size_t kIpcMediaPacketSize = 1064;  // audio, talk and playback packets
constexpr size_t kIpcMediaPacketHeaderSize = 40;
constexpr size_t kIpcMediaPacketDataSize = 1024;
constexpr size_t kIpcMaxFrameBytes = 4u * 1024 * 1024;  // the largest frame a stream keeps

// Called once per video frame and once per audio block, on the receive thread; the data is
// valid during the call only.
using IpcStreamHook = void (*)(const uint8_t* data, int length, int codecOrAudioType,
                               uint32_t seconds, uint32_t microseconds, uint32_t stamp,
                               void* user);

extern "C" {
// session required; display non-zero decodes and shows the video in `window`.
IPC_HANDLE IPC_StreamOpen(IPC_HANDLE session, uint16_t streamNumber, intptr_t window,
                          int display);
int IPC_StreamClose(IPC_HANDLE stream);
// Copies the session's 52-byte login record into `loginInfo`.
int IPC_StreamGetNet(IPC_HANDLE stream, void* loginInfo);
// 1 starts the camera's audio (and, when displaying, its playing); 0 stops it.
int IPC_StreamAudio(IPC_HANDLE stream, int on);
// 1 starts talk (microphone to the camera); 0 stops it.
int IPC_StartSpeak(IPC_HANDLE stream, int on);
int IPC_SetStreamHook(IPC_HANDLE stream, IpcStreamHook hook, void* user);
int IPC_CleanStreamHook(IPC_HANDLE stream);
int IPC_SetOSDHook(IPC_HANDLE stream, IpcOsdHook hook, void* user);
int IPC_CleanOSDHook(IPC_HANDLE stream);
}
