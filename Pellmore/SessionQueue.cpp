#include "SessionQueue.h"

#include <chrono>

#include "plat/log.h"

namespace pellmore {

SessionQueue::SessionQueue(std::unique_ptr<SessionQueue> previous)
    : running_(previous != nullptr), previous_(std::move(previous)) {
  thread_ = std::thread([this] { Run(); });
}

SessionQueue::~SessionQueue() {
  Finish();
  if (thread_.joinable()) thread_.join();
}

void SessionQueue::Post(std::function<void()> job) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (finishing_) {
    PLAT_LOGW("Pellmore", "a device exchange queued after the session ended was dropped");
    return;
  }
  jobs_.push_back(std::move(job));
  changed_.notify_all();
}

void SessionQueue::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  finishing_ = true;
  changed_.notify_all();
}

bool SessionQueue::WaitIdle(int realMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(realMs),
                           [this] { return jobs_.empty() && !running_; });
}

void SessionQueue::Run() {
  // The previous session's logout comes before this session's login.
  previous_.reset();
  std::unique_lock<std::mutex> lock(mutex_);
  running_ = false;
  changed_.notify_all();
  for (;;) {
    changed_.wait(lock, [this] { return finishing_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // finishing, and nothing left
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    job();
    job = nullptr;  // what the job held goes before the queue counts as idle
    lock.lock();
    running_ = false;
    changed_.notify_all();
  }
}

}  // namespace pellmore
