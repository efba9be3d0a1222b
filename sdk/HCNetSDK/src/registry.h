#pragma once
// What the stand-in keeps about the recorder library's handles: live views (their login,
// channel, window and the caller's callbacks) and downloads. Handles are the recorder
// library's own; a handle not found here is not one of ours.
#include <cstdint>
#include <memory>
#include <mutex>

#include "HCNetSDK.h"

namespace hcnet {

// A live view's draw callback. Calls run under the slot's lock, so replacing or removing the
// callback waits for a call in progress (a callback may replace its own: the lock is
// recursive).
struct DrawSlot {
  std::recursive_mutex mu;
  SdkDrawFun fun = nullptr;
  void* user = nullptr;
};

struct LiveView {
  int32_t loginId = -1;
  int32_t channel = 1;
  intptr_t window = 0;
  SdkRealDataCallBack data = nullptr;
  void* dataUser = nullptr;
  std::shared_ptr<DrawSlot> draw = std::make_shared<DrawSlot>();
};

void AddLive(int32_t handle, const LiveView& live);
bool FindLive(int32_t handle, LiveView* out);
void SetLiveData(int32_t handle, SdkRealDataCallBack cb, void* user);
// Returns once no call of the previous callback is in progress (unless from inside it).
void SetLiveDraw(int32_t handle, SdkDrawFun fun, void* user);
// Calls the view's draw callback, if any, with the picture's rectangle.
void CallLiveDraw(int32_t handle, intptr_t dc, int32_t width, int32_t height);
void RemoveLive(int32_t handle);

void AddDownload(int32_t handle);
bool IsDownload(int32_t handle);
void RemoveDownload(int32_t handle);

// Forgets everything (the recorder library stopped).
void ClearRegistry();

}  // namespace hcnet
