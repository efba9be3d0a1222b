#pragma once
// The device exchanges of one configuration session (login, reads, writes, live view, logout)
// run one after another on a thread of the library's own, in the order they were queued, so
// the caller's UI thread never waits on the recorder. Every exchange ends within its own
// deadline, so the queue always moves on.
//
// A session's queue outlives its window: the logout is queued when the window closes and runs
// after everything queued before it. The next session's queue first joins the previous one
// (on its own thread, so its login waits for that logout without the UI waiting); the last
// queue is joined when the library is unloaded.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace pellmore {

class SessionQueue {
 public:
  // `previous`, when given, is finished and joined on the new queue's thread before its first
  // job runs.
  explicit SessionQueue(std::unique_ptr<SessionQueue> previous = nullptr);
  ~SessionQueue();  // Finish, then join: everything queued still runs
  SessionQueue(const SessionQueue&) = delete;
  SessionQueue& operator=(const SessionQueue&) = delete;

  // Queues a job; a job queued after Finish is dropped.
  void Post(std::function<void()> job);
  // No more jobs: the thread ends once the queued ones have run.
  void Finish();
  // Waits (real time) until every job queued so far has run, this queue's and its
  // predecessors'; false when that did not happen within `realMs`.
  bool WaitIdle(int realMs);

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool finishing_ = false;
  bool running_ = false;  // a job (or the join of the previous queue) is in progress
  std::unique_ptr<SessionQueue> previous_;
  std::thread thread_;
};

}  // namespace pellmore
