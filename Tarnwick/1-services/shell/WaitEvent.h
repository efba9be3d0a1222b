#pragma once
// A thin event: the playback pages gate their search workers with an auto-reset,
// initially signalled one (a search starts only when Wait(10) succeeds; the worker Sets it
// when it ends).
#include "plat/event.h"

class CWaitEvent {
 public:
  explicit CWaitEvent(bool manualReset = false, bool initiallySignalled = false)
      : event_(manualReset, initiallySignalled) {}
  virtual ~CWaitEvent() = default;
  void Set() { event_.set(); }
  void Reset() { event_.reset(); }
  bool Wait(int milliseconds) { return event_.wait(milliseconds); }

 private:
  plat::Event event_;
};
