#include <cstring>

#include "Corvane/display.h"
#include "video/display_stream.h"
#include "video/video_player.h"

using corvane::DisplayStream;
using corvane::VideoPlayer;
using corvane::withDisplayStream;

extern "C" {

int IPC_ResetVideoWnd(IPC_HANDLE stream, intptr_t window) {
  return withDisplayStream(stream, [&](DisplayStream& s) {
    VideoPlayer* p = s.player();
    return p ? p->SetMainWindow(window) : 0;
  });
}

int IPC_ShowSecVideoWnd(IPC_HANDLE stream, intptr_t window, int show) {
  return withDisplayStream(stream, [&](DisplayStream& s) {
    VideoPlayer* p = s.player();
    return p ? p->SetSecondWindow(window, show) : 0;
  });
}

int IPC_StartOSD(IPC_HANDLE stream, int on) {
  return withDisplayStream(stream, [&](DisplayStream& s) {
    s.setOsdOn(on);
    if (VideoPlayer* p = s.player()) p->SetOsdFlag(corvane::kOsdFlagStatistics, on != 0);
    return 1;
  });
}

int IPC_VideoResolution(IPC_HANDLE stream, uint16_t* width, uint16_t* height) {
  if (!width || !height) return 0;
  return withDisplayStream(stream, [&](DisplayStream& s) {
    VideoPlayer* p = s.player();
    if (!p || s.videoState() != corvane::kStateConnected) return 0;
    *width = static_cast<uint16_t>(p->pictureWidth());
    *height = static_cast<uint16_t>(p->pictureHeight());
    return 1;
  });
}

int IPC_Snapshot(IPC_HANDLE stream, const char* path) {
  if (!path) return 0;
  return withDisplayStream(stream, [&](DisplayStream& s) {
    VideoPlayer* p = s.player();
    if (!p) return 0;
    return std::strstr(path, ".bmp") ? p->SaveBmp(path) : p->SaveJpeg(path);
  });
}

}  // extern "C"
