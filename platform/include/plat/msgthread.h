#pragma once
// Worker threads with a message queue of their own ("thread message queues"), timers that
// post into that queue, and a bounded stop. The queue exists before the thread runs, so a
// message posted right after start is never lost. A thread is never killed: stop() posts
// the quit message, calls the owner's unblock function when the thread has not ended in
// time (closing its sockets), then joins.
#include <cstdint>
#include <functional>
#include <memory>

namespace plat {

constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_TIMER = 0x0113;
constexpr uint32_t WM_USER = 0x0400;

using ThreadId = uint32_t;  // 0 = none

struct Message {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

class MessageThread;

// Posts to the queue of a thread by its id; false when no such thread (or it has ended).
bool postThreadMessage(ThreadId id, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);

// The id of the calling thread's queue (0 when the calling thread has none).
ThreadId currentThreadId();
// Gives the calling thread a queue of its own (a no-op when it has one) and returns its id;
// detachThreadQueue() removes it (messages then posted to it are refused).
ThreadId attachThreadQueue();
void detachThreadQueue();

// Inside a thread that has a queue:
// waits up to productMs (scaled; kInfinite = -1 forever) for a message; false on time-out.
bool getMessage(Message& out, int productMs);
// takes a message when one is there, without waiting.
bool peekMessage(Message& out);
// timers post WM_TIMER with wParam = timerId every productMs (scaled) into the calling
// thread's queue until killed; setting an existing id restarts it.
bool setThreadTimer(uintptr_t timerId, int productMs);
void killThreadTimer(uintptr_t timerId);

class MessageThread {
 public:
  using Body = std::function<void()>;
  // The thread is created and its queue made, but the body runs only after start()
  // (a thread "created suspended, then resumed").
  MessageThread(const char* name, Body body);
  ~MessageThread();  // stops with the default time-out when still running
  MessageThread(const MessageThread&) = delete;
  MessageThread& operator=(const MessageThread&) = delete;

  void start();
  ThreadId id() const;
  bool post(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
  // Posts `quitMessage` (WM_QUIT by default), waits up to productMs (scaled) for the body to
  // return; when it has not, calls `unblock` (if given), logs, and joins.
  // Returns true when the body ended within the time-out.
  bool stop(int productMs = 10000, const std::function<void()>& unblock = {},
            uint32_t quitMessage = WM_QUIT);
  bool running() const;
  // True when called from this thread's own body.
  bool isCurrent() const;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace plat
