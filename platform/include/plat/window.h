#pragma once
// Window handles and window messages. A UI window (or a test) registers a handler and a
// dispatcher that runs code on the window's own thread. postMessage is queued and harmless
// when the window is gone; sendMessage is a direct call on the owner thread and, from any
// other thread, waits for the owner with a time-out so that shut-down cannot deadlock.
#include <cstdint>
#include <functional>
#include <memory>

namespace plat {

using WindowHandle = intptr_t;  // 0 = none
using WindowProc = std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;

// Runs closures on a window's owner thread.
class Dispatcher {
 public:
  virtual ~Dispatcher() = default;
  virtual void post(std::function<void()> fn) = 0;
  virtual bool isOwnerThread() const = 0;
};

// A dispatcher whose owner thread pumps it by hand (tests, worker threads without Qt).
class QueueDispatcher : public Dispatcher {
 public:
  QueueDispatcher();  // the constructing thread is the owner
  ~QueueDispatcher() override;
  void post(std::function<void()> fn) override;
  bool isOwnerThread() const override;
  // Runs queued closures; waits up to productMs for the first. Returns how many ran.
  int pump(int productMs = 0);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

WindowHandle registerWindow(WindowProc proc, std::shared_ptr<Dispatcher> dispatcher);
void unregisterWindow(WindowHandle h);
bool isWindow(WindowHandle h);

bool postMessage(WindowHandle h, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
// A message carrying something its sender owns (a pool block, say): when the message never
// reaches the window's handler (the window is gone at the post or before its turn, or its
// queue is dropped) giveBack gets the parameters, once, on the thread that drops it, so the
// payload goes back to its owner instead of being lost. False when the window was already
// gone (giveBack has run).
using GiveBack = std::function<void(uint32_t message, uintptr_t wParam, intptr_t lParam)>;
bool postMessage(WindowHandle h, uint32_t message, uintptr_t wParam, intptr_t lParam,
                 GiveBack giveBack);
// Result of the handler; 0 when the window is gone or the wait timed out (*delivered false).
// A send whose wait ran out is withdrawn: its handler never runs later with the sender's (by
// then possibly dead) arguments. If the handler had already begun, the sender waits for it.
intptr_t sendMessage(WindowHandle h, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0,
                     int productMs = 5000, bool* delivered = nullptr);

// Extra per-window data other layers attach (the display surfaces keep the presented
// picture here). Keyed by a small slot number; cleared when the window is unregistered.
void setWindowData(WindowHandle h, int slot, std::shared_ptr<void> data);
std::shared_ptr<void> windowData(WindowHandle h, int slot);

}  // namespace plat
