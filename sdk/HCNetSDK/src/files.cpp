// Playback and download of recorded files, carried onto the recorder library.
#include "HCNetSDK.h"
#include "Saxtrum.h"
#include "registry.h"

using hcnet::Kind;

extern "C" {

int32_t NET_DVR_PlayBackByName(int32_t loginId, const char* fileName, intptr_t window) {
  if (!fileName || !*fileName) return -1;
  const int32_t lib = hcnet::ToLib(loginId, Kind::Login);
  if (lib < 0) return -1;
  return hcnet::Issue(Kind::Playback, QX_DVR_PlayBackByName(lib, fileName, window));
}

int NET_DVR_PlayBackControl(int32_t handle, uint32_t code, uint32_t valueIn, uint32_t* valueOut) {
  // A download runs from the moment it was asked for.
  if (hcnet::ToLib(handle, Kind::Download) >= 0) return code == SDK_PLAYSTART ? 1 : 0;
  return QX_DVR_PlayBackControl(hcnet::ToLib(handle, Kind::Playback), code, valueIn, valueOut) == 1
             ? 1
             : 0;
}

int NET_DVR_PlayBackCaptureFile(int32_t playHandle, const char* bmpPath) {
  if (!bmpPath) return 0;
  return QX_DVR_PlayBackCaptureFile(hcnet::ToLib(playHandle, Kind::Playback), bmpPath) == 1 ? 1
                                                                                           : 0;
}

int NET_DVR_StopPlayBack(int32_t playHandle) {
  return hcnet::CloseHandle(playHandle, Kind::Playback, QX_DVR_StopPlayBack) == 1 ? 1 : 0;
}

int32_t NET_DVR_GetFileByName(int32_t loginId, const char* remoteName, const char* localPath) {
  if (!remoteName || !localPath) return -1;
  const int32_t lib = hcnet::ToLib(loginId, Kind::Login);
  if (lib < 0) return -1;
  return hcnet::Issue(Kind::Download, QX_DVR_GetFileByName(lib, remoteName, localPath));
}

int NET_DVR_GetDownloadPos(int32_t downloadHandle) {
  const int32_t lib = hcnet::ToLib(downloadHandle, Kind::Download);
  if (lib < 0) return -1;
  return QX_DVR_GetDownloadPos(lib);
}

int NET_DVR_StopGetFile(int32_t downloadHandle) {
  return hcnet::CloseHandle(downloadHandle, Kind::Download, QX_DVR_StopGetFile) == 1 ? 1 : 0;
}

}  // extern "C"
