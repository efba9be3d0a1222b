#pragma once
// What the display exports need of a live stream. The stream registers itself under its
// handle for as long as it lives; the exports find it there on every call, so a stale or
// foreign handle fails cleanly.
#include <functional>

#include "Corvane/types.h"

namespace corvane {

class VideoPlayer;

class DisplayStream {
 public:
  virtual ~DisplayStream() = default;
  // Null when the stream does not display.
  virtual VideoPlayer* player() = 0;
  // 0 connected, 1 connecting or lost, 2 refused (camera full).
  virtual int videoState() = 0;
  // Keeps the value of IPC_StartOSD.
  virtual void setOsdOn(int on) = 0;
};

void registerDisplayStream(IPC_HANDLE handle, DisplayStream* stream);
// Returns once no export call is using the stream any more.
void unregisterDisplayStream(IPC_HANDLE handle);

// Runs `fn` with the stream of `handle` while it cannot be unregistered; `fallback` when
// there is none.
int withDisplayStream(IPC_HANDLE handle, const std::function<int(DisplayStream&)>& fn,
                      int fallback = 0);

}  // namespace corvane
