#pragma once
// One search of a playback page, shared by the page's controller (UI thread) and the worker
// that runs it (a device's queue for the remote page, a queue of its own for the local walk).
// The worker queues what it finds and posts WM_PLAYBACK_FOUND to the page's window, whose
// handle was taken on the UI thread when the search started; the page takes the files from
// the queue. A cancel is a flag the worker reads between steps, plus an abort action the
// worker may set to cut short a step that waits (the local walk's stop); a step that waits
// for a device is never aborted from the UI thread: it ends by its deadline.
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

#include "plat/window.h"
#include "view/PlaybackPageUi.h"
#include "view/ViewMessages.h"

class CPlaybackSearch {
 public:
  explicit CPlaybackSearch(plat::WindowHandle page) : page_(page) {}

  // Worker: queue a file for the time bar. False once the search is cancelled.
  bool Found(FoundFile file);
  bool Cancelled() const { return cancel_; }
  // Worker: what a cancel runs to end a step that waits, until set back to null before what it
  // touches goes. False when the search is already cancelled (the action is not kept).
  bool SetAbort(std::function<void()> abort);

  // UI thread.
  void Cancel();
  std::deque<FoundFile> Take();

 private:
  const plat::WindowHandle page_;
  std::atomic<bool> cancel_{false};
  std::mutex abortMutex_;
  std::function<void()> abort_;
  std::mutex foundMutex_;
  std::deque<FoundFile> found_;
};
