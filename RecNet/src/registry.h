#pragma once
// The stand-in's own handles and what it keeps about them. Every login id and stream handle
// given to the caller is the recorder library's value with a generation above it: the
// library gives its values out again (a login slot, a request slot), but a handle of ours is
// never handed out twice, so a stale one fails instead of reaching another window's stream.
// The wire keeps the library's values.
#include <cstdint>
#include <memory>
#include <mutex>

#include "RecNet.h"

namespace recnet {

enum class Kind : uint8_t { Login, Live, Playback, Download, Find, Log, Alarm, Talk };

// A new handle of ours for a library value (-1 stays -1).
int32_t Issue(Kind kind, int32_t libValue);
// The library's value of a live handle of ours of that kind; -1 for a stale or foreign one.
int32_t ToLib(int32_t handle, Kind kind);
// Our current handle of a library value (callbacks report the library's); -1 when none.
int32_t ToOurs(int32_t libValue, Kind kind);
// The handle is gone (its stream stopped).
void Retire(int32_t handle);
// The login and every handle of its streams are gone (library user id).
void RetireLogin(int32_t libUserId);
// Ends a handle of ours: `close` with the library's value, then the handle is retired whatever
// the answer, for the objects the library lets go in every case (a playback it does not). The
// library's answer; 0 for a stale or foreign handle.
template <class Close>
int CloseHandle(int32_t handle, Kind kind, Close close) {
  const int32_t lib = ToLib(handle, kind);
  if (lib < 0) return 0;
  const int r = close(lib);
  Retire(handle);
  return r;
}

// A live view's draw callback. Calls run under the slot's lock, so replacing or removing the
// callback waits for a call in progress (a callback may replace its own: the lock is
// recursive).
struct DrawSlot {
  std::recursive_mutex mu;
  SdkDrawFun fun = nullptr;
  void* user = nullptr;
};

struct LiveView {
  int32_t loginId = -1;  // the library's user id
  int32_t channel = 1;
  intptr_t window = 0;
  SdkRealDataCallBack data = nullptr;
  void* dataUser = nullptr;
  std::shared_ptr<DrawSlot> draw = std::make_shared<DrawSlot>();
};

// Live views by handle of ours.
void AddLive(int32_t handle, const LiveView& live);
bool FindLive(int32_t handle, LiveView* out);
// Each callback is stored together with its user value.
void SetLiveData(int32_t handle, SdkRealDataCallBack cb, void* user);
// Returns once no call of the previous callback is in progress (unless from inside it).
void SetLiveDraw(int32_t handle, SdkDrawFun fun, void* user);
// Calls the view's draw callback, if any, with the picture's rectangle.
void CallLiveDraw(int32_t handle, intptr_t dc, int32_t width, int32_t height);
void RemoveLive(int32_t handle);

// Forgets everything (the recorder library stopped).
void ClearRegistry();

}  // namespace recnet
