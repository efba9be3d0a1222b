#pragma once
// Display functions of a live stream: its play windows, the on-screen display, the picture
// size, and snapshots of what its main window shows. Each returns 1 on success, 0 on failure
// (also for a stream that does not display).
#include <cstdint>

#include "Corvane/types.h"

extern "C" {

// Moves the stream's picture to another window (0: none).
int IPC_ResetVideoWnd(IPC_HANDLE stream, intptr_t window);
// Shows (show non-zero) or hides the stream's picture in a second window.
int IPC_ShowSecVideoWnd(IPC_HANDLE stream, intptr_t window, int show);
// Shows or hides the statistics line.
int IPC_StartOSD(IPC_HANDLE stream, int on);
// The size of the stream's pictures, once its video is connected.
int IPC_VideoResolution(IPC_HANDLE stream, uint16_t* width, uint16_t* height);
// Saves the main window's picture: a BMP when the path contains ".bmp", otherwise a JPEG.
int IPC_Snapshot(IPC_HANDLE stream, const char* path);

}  // extern "C"
