// Playback and download of recorded files, carried onto the recorder library.
#include "RecNet.h"
#include "Saxtrum.h"
#include "call_error.h"
#include "registry.h"

using recnet::Kind;

extern "C" {

int32_t RecNet_PlayBackByName(int32_t loginId, const char* fileName, intptr_t window) {
  recnet::StartCall();
  if (!fileName || !*fileName) return -1;
  const int32_t lib = recnet::ToLib(loginId, Kind::Login);
  if (lib < 0) return -1;
  return recnet::Issue(Kind::Playback, QX_DVR_PlayBackByName(lib, fileName, window));
}

int RecNet_PlayBackControl(int32_t handle, uint32_t code, uint32_t valueIn, uint32_t* valueOut) {
  recnet::StartCall();
  // A download runs from the moment it was asked for.
  if (recnet::ToLib(handle, Kind::Download) >= 0) return code == SDK_PLAYSTART ? 1 : 0;
  return QX_DVR_PlayBackControl(recnet::ToLib(handle, Kind::Playback), code, valueIn, valueOut) == 1
             ? 1
             : 0;
}

int RecNet_PlayBackCaptureFile(int32_t playHandle, const char* bmpPath) {
  recnet::StartCall();
  if (!bmpPath) return 0;
  return QX_DVR_PlayBackCaptureFile(recnet::ToLib(playHandle, Kind::Playback), bmpPath) == 1 ? 1
                                                                                           : 0;
}

int RecNet_StopPlayBack(int32_t playHandle) {
  recnet::StartCall();
  const int32_t lib = recnet::ToLib(playHandle, Kind::Playback);
  if (lib < 0) return 0;
  // A stop the recorder refused leaves the playback going, and its handle with it.
  if (QX_DVR_StopPlayBack(lib) != 1) return 0;
  recnet::Retire(playHandle);
  return 1;
}

int32_t RecNet_GetFileByName(int32_t loginId, const char* remoteName, const char* localPath) {
  recnet::StartCall();
  if (!remoteName || !localPath) return -1;
  const int32_t lib = recnet::ToLib(loginId, Kind::Login);
  if (lib < 0) return -1;
  return recnet::Issue(Kind::Download, QX_DVR_GetFileByName(lib, remoteName, localPath));
}

int RecNet_GetDownloadPos(int32_t downloadHandle) {
  recnet::StartCall();
  const int32_t lib = recnet::ToLib(downloadHandle, Kind::Download);
  if (lib < 0) return -1;
  return QX_DVR_GetDownloadPos(lib);
}

int RecNet_StopGetFile(int32_t downloadHandle) {
  recnet::StartCall();
  return recnet::CloseHandle(downloadHandle, Kind::Download, QX_DVR_StopGetFile) == 1 ? 1 : 0;
}

}  // extern "C"
