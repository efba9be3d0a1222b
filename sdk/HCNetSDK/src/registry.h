#pragma once
// What the stand-in keeps about the recorder library's handles: live views (their login,
// channel, window and the caller's callbacks) and downloads. Handles are the recorder
// library's own; a handle not found here is not one of ours.
#include <cstdint>

#include "HCNetSDK.h"

namespace hcnet {

struct LiveView {
  int32_t loginId = -1;
  int32_t channel = 1;
  intptr_t window = 0;
  SdkRealDataCallBack data = nullptr;
  void* dataUser = nullptr;
  SdkDrawFun draw = nullptr;
  void* drawUser = nullptr;
};

void AddLive(int32_t handle, const LiveView& live);
bool FindLive(int32_t handle, LiveView* out);
void SetLiveData(int32_t handle, SdkRealDataCallBack cb, void* user);
void SetLiveDraw(int32_t handle, SdkDrawFun fun, void* user);
void RemoveLive(int32_t handle);

void AddDownload(int32_t handle);
bool IsDownload(int32_t handle);
void RemoveDownload(int32_t handle);

// Forgets everything (the recorder library stopped).
void ClearRegistry();

}  // namespace hcnet
