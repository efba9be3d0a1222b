#include "plat/msgthread.h"

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "plat/clock.h"
#include "plat/event.h"
#include "plat/log.h"

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  std::chrono::milliseconds period;
  Clock::time_point due;
  bool pending = false;  // a WM_TIMER for it waits in the queue (not doubled, as on Windows)
};

struct Queue {
  ThreadId id = 0;
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<Message> messages;
  std::map<uintptr_t, Timer> timers;
  bool closed = false;

  bool push(const Message& m) {
    {
      std::lock_guard<std::mutex> lk(mutex);
      if (closed) return false;
      messages.push_back(m);
    }
    cv.notify_one();
    return true;
  }

  // Moves due timers into the queue; returns the earliest next due time.
  Clock::time_point fireTimers(Clock::time_point now) {
    Clock::time_point next = Clock::time_point::max();
    for (auto& [tid, t] : timers) {
      if (!t.pending && t.due <= now) {
        messages.push_back(Message{WM_TIMER, tid, 0});
        t.pending = true;
        t.due = now + t.period;
      }
      if (!t.pending && t.due < next) next = t.due;
    }
    return next;
  }

  bool take(Message& out) {
    if (messages.empty()) return false;
    out = messages.front();
    messages.pop_front();
    if (out.message == WM_TIMER) {
      auto it = timers.find(out.wParam);
      if (it != timers.end()) it->second.pending = false;
    }
    return true;
  }

  bool get(Message& out, int productMs) {
    std::unique_lock<std::mutex> lk(mutex);
    const bool infinite = productMs < 0;
    const auto deadline = Clock::now() + scaledDuration(productMs < 0 ? 0 : productMs);
    for (;;) {
      auto now = Clock::now();
      auto nextTimer = fireTimers(now);
      if (take(out)) return true;
      if (!infinite && now >= deadline) return false;
      auto until = infinite ? nextTimer : std::min(deadline, nextTimer);
      if (until == Clock::time_point::max())
        cv.wait(lk);
      else
        cv.wait_until(lk, until);
    }
  }
};

std::mutex g_registryMutex;
std::unordered_map<ThreadId, std::shared_ptr<Queue>> g_registry;
std::atomic<ThreadId> g_nextId{1};
thread_local std::shared_ptr<Queue> t_queue;

std::shared_ptr<Queue> makeQueue() {
  auto q = std::make_shared<Queue>();
  q->id = g_nextId.fetch_add(1);
  std::lock_guard<std::mutex> lk(g_registryMutex);
  g_registry[q->id] = q;
  return q;
}

void dropQueue(const std::shared_ptr<Queue>& q) {
  if (!q) return;
  {
    std::lock_guard<std::mutex> lk(q->mutex);
    q->closed = true;
    q->messages.clear();
    q->timers.clear();
  }
  std::lock_guard<std::mutex> lk(g_registryMutex);
  g_registry.erase(q->id);
}

}  // namespace

bool postThreadMessage(ThreadId id, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::shared_ptr<Queue> q;
  {
    std::lock_guard<std::mutex> lk(g_registryMutex);
    auto it = g_registry.find(id);
    if (it == g_registry.end()) return false;
    q = it->second;
  }
  return q->push(Message{message, wParam, lParam});
}

ThreadId currentThreadId() { return t_queue ? t_queue->id : 0; }

ThreadId attachThreadQueue() {
  if (!t_queue) t_queue = makeQueue();
  return t_queue->id;
}

void detachThreadQueue() {
  dropQueue(t_queue);
  t_queue.reset();
}

bool getMessage(Message& out, int productMs) {
  if (!t_queue) return false;
  return t_queue->get(out, productMs);
}

bool peekMessage(Message& out) {
  if (!t_queue) return false;
  std::lock_guard<std::mutex> lk(t_queue->mutex);
  t_queue->fireTimers(Clock::now());
  return t_queue->take(out);
}

bool setThreadTimer(uintptr_t timerId, int productMs) {
  if (!t_queue || productMs <= 0) return false;
  {
    std::lock_guard<std::mutex> lk(t_queue->mutex);
    auto period = scaledDuration(productMs);
    Timer& t = t_queue->timers[timerId];
    t.period = period;
    t.due = Clock::now() + period;
  }
  t_queue->cv.notify_one();
  return true;
}

void killThreadTimer(uintptr_t timerId) {
  if (!t_queue) return;
  std::lock_guard<std::mutex> lk(t_queue->mutex);
  t_queue->timers.erase(timerId);
  for (auto it = t_queue->messages.begin(); it != t_queue->messages.end();) {
    if (it->message == WM_TIMER && it->wParam == timerId)
      it = t_queue->messages.erase(it);
    else
      ++it;
  }
}

struct MessageThread::Impl {
  std::string name;
  Body body;
  std::shared_ptr<Queue> queue;
  std::thread thread;
  Event go{true, false};
  Event finished{true, false};
  std::atomic<bool> started{false};
  std::atomic<bool> joined{false};
  std::thread::id threadId;
  std::mutex stopMutex;
};

MessageThread::MessageThread(const char* name, Body body) : impl_(std::make_shared<Impl>()) {
  impl_->name = name ? name : "thread";
  impl_->body = std::move(body);
  impl_->queue = makeQueue();
  auto impl = impl_;
  impl_->thread = std::thread([impl] {
    // The name shows in the system's thread lists (cut to the 15 bytes they keep).
    pthread_setname_np(pthread_self(), impl->name.substr(0, 15).c_str());
    t_queue = impl->queue;
    impl->go.wait(kInfinite);
    if (impl->started.load() && impl->body) impl->body();
    dropQueue(impl->queue);
    t_queue.reset();
    impl->finished.set();
  });
  impl_->threadId = impl_->thread.get_id();
}

MessageThread::~MessageThread() {
  if (impl_->joined.load()) return;
  if (isCurrent()) {
    // Destroyed from its own body: it ends by itself, nobody can join it.
    post(WM_QUIT);
    if (impl_->thread.joinable()) impl_->thread.detach();
    return;
  }
  stop();
}

void MessageThread::start() {
  impl_->started.store(true);
  impl_->go.set();
}

ThreadId MessageThread::id() const { return impl_->queue->id; }

bool MessageThread::post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return impl_->queue->push(Message{message, wParam, lParam});
}

bool MessageThread::running() const { return !impl_->finished.isSet(); }

bool MessageThread::isCurrent() const { return std::this_thread::get_id() == impl_->threadId; }

bool MessageThread::stop(int productMs, const std::function<void()>& unblock,
                         uint32_t quitMessage) {
  std::lock_guard<std::mutex> lk(impl_->stopMutex);
  if (impl_->joined.load()) return true;
  if (isCurrent()) {
    // A thread cannot wait for itself: ask it to leave and let the owner join later.
    post(quitMessage);
    return false;
  }
  if (!impl_->started.load()) {
    // Never resumed: let it run to the end without its body.
    impl_->go.set();
  } else {
    post(quitMessage);
  }
  bool inTime = impl_->finished.wait(productMs);
  if (!inTime) {
    PLAT_LOGW("thread", "%s did not end within %d ms; unblocking and joining",
              impl_->name.c_str(), scaled(productMs));
    if (unblock) unblock();
  }
  if (impl_->thread.joinable()) impl_->thread.join();
  impl_->joined.store(true);
  return inTime;
}

}  // namespace plat
