// Playback and download of recorded files, carried onto the recorder library.
#include "HCNetSDK.h"
#include "Saxtrum.h"
#include "registry.h"

extern "C" {

int32_t NET_DVR_PlayBackByName(int32_t loginId, const char* fileName, intptr_t window) {
  if (!fileName || !*fileName) return -1;
  const int32_t h = QX_DVR_PlayBackByName(loginId, fileName, window);
  return h < 0 ? -1 : h;
}

int NET_DVR_PlayBackControl(int32_t handle, uint32_t code, uint32_t valueIn, uint32_t* valueOut) {
  // A download runs from the moment it was asked for.
  if (hcnet::IsDownload(handle)) return code == SDK_PLAYSTART ? 1 : 0;
  return QX_DVR_PlayBackControl(handle, code, valueIn, valueOut) == 1 ? 1 : 0;
}

int NET_DVR_PlayBackCaptureFile(int32_t playHandle, const char* bmpPath) {
  if (!bmpPath) return 0;
  return QX_DVR_PlayBackCaptureFile(playHandle, bmpPath) == 1 ? 1 : 0;
}

int NET_DVR_StopPlayBack(int32_t playHandle) {
  return QX_DVR_StopPlayBack(playHandle) == 1 ? 1 : 0;
}

int32_t NET_DVR_GetFileByName(int32_t loginId, const char* remoteName, const char* localPath) {
  if (!remoteName || !localPath) return -1;
  const int32_t h = QX_DVR_GetFileByName(loginId, remoteName, localPath);
  if (h < 0) return -1;
  hcnet::AddDownload(h);
  return h;
}

int NET_DVR_GetDownloadPos(int32_t downloadHandle) {
  if (!hcnet::IsDownload(downloadHandle)) return -1;
  return QX_DVR_GetDownloadPos(downloadHandle);
}

int NET_DVR_StopGetFile(int32_t downloadHandle) {
  if (!hcnet::IsDownload(downloadHandle)) return 0;
  const int r = QX_DVR_StopGetFile(downloadHandle);
  // The library releases the transfer in every case.
  hcnet::RemoveDownload(downloadHandle);
  return r == 1 ? 1 : 0;
}

}  // extern "C"
