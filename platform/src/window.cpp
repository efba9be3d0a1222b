#include "plat/window.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "plat/clock.h"

namespace plat {

struct QueueDispatcher::Impl {
  std::thread::id owner = std::this_thread::get_id();
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<std::function<void()>> queue;
};

QueueDispatcher::QueueDispatcher() : impl_(std::make_unique<Impl>()) {}
QueueDispatcher::~QueueDispatcher() = default;

void QueueDispatcher::post(std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> lk(impl_->mutex);
    impl_->queue.push_back(std::move(fn));
  }
  impl_->cv.notify_one();
}

bool QueueDispatcher::isOwnerThread() const {
  return std::this_thread::get_id() == impl_->owner;
}

int QueueDispatcher::pump(int productMs) {
  int ran = 0;
  std::unique_lock<std::mutex> lk(impl_->mutex);
  if (impl_->queue.empty() && productMs != 0) {
    if (productMs < 0)
      impl_->cv.wait(lk, [&] { return !impl_->queue.empty(); });
    else
      impl_->cv.wait_for(lk, scaledDuration(productMs), [&] { return !impl_->queue.empty(); });
  }
  while (!impl_->queue.empty()) {
    auto fn = std::move(impl_->queue.front());
    impl_->queue.pop_front();
    lk.unlock();
    fn();
    ++ran;
    lk.lock();
  }
  return ran;
}

namespace {

struct Entry {
  WindowProc proc;
  std::shared_ptr<Dispatcher> dispatcher;
  std::map<int, std::shared_ptr<void>> data;
};

std::mutex g_mutex;
std::unordered_map<WindowHandle, std::shared_ptr<Entry>> g_windows;
// Handles are never reused, so a stale handle cannot reach a later window.
std::atomic<WindowHandle> g_next{0x10000};

std::shared_ptr<Entry> find(WindowHandle h) {
  std::lock_guard<std::mutex> lk(g_mutex);
  auto it = g_windows.find(h);
  return it == g_windows.end() ? nullptr : it->second;
}

}  // namespace

WindowHandle registerWindow(WindowProc proc, std::shared_ptr<Dispatcher> dispatcher) {
  auto e = std::make_shared<Entry>();
  e->proc = std::move(proc);
  e->dispatcher = std::move(dispatcher);
  WindowHandle h = g_next.fetch_add(4);
  std::lock_guard<std::mutex> lk(g_mutex);
  g_windows[h] = std::move(e);
  return h;
}

void unregisterWindow(WindowHandle h) {
  std::shared_ptr<Entry> e;
  {
    std::lock_guard<std::mutex> lk(g_mutex);
    auto it = g_windows.find(h);
    if (it == g_windows.end()) return;
    e = std::move(it->second);
    g_windows.erase(it);
  }
  // e (and the window's data) is released here, outside the registry lock.
}

bool isWindow(WindowHandle h) { return find(h) != nullptr; }

bool postMessage(WindowHandle h, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return postMessage(h, message, wParam, lParam, nullptr);
}

bool postMessage(WindowHandle h, uint32_t message, uintptr_t wParam, intptr_t lParam,
                 GiveBack giveBack) {
  // Travels with the queued message; a parcel dropped undelivered gives its payload back.
  struct Parcel {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    GiveBack giveBack;
    bool delivered = false;
    ~Parcel() {
      if (!delivered && giveBack) giveBack(message, wParam, lParam);
    }
  };
  auto parcel = std::make_shared<Parcel>();
  parcel->message = message;
  parcel->wParam = wParam;
  parcel->lParam = lParam;
  parcel->giveBack = std::move(giveBack);
  auto e = find(h);
  if (!e || !e->dispatcher) return false;
  e->dispatcher->post([h, parcel = std::move(parcel)] {
    auto live = find(h);
    if (!live || !live->proc) return;
    parcel->delivered = true;
    live->proc(parcel->message, parcel->wParam, parcel->lParam);
  });
  return true;
}

intptr_t sendMessage(WindowHandle h, uint32_t message, uintptr_t wParam, intptr_t lParam,
                     int productMs, bool* delivered) {
  if (delivered) *delivered = false;
  auto e = find(h);
  if (!e || !e->proc) return 0;
  if (!e->dispatcher || e->dispatcher->isOwnerThread()) {
    intptr_t r = e->proc(message, wParam, lParam);
    if (delivered) *delivered = true;
    return r;
  }
  enum class Stage { Queued, Running, Done, Withdrawn };
  struct Reply {
    std::mutex m;
    std::condition_variable cv;
    Stage stage = Stage::Queued;
    intptr_t result = 0;
  };
  auto reply = std::make_shared<Reply>();
  e->dispatcher->post([h, message, wParam, lParam, reply] {
    {
      std::lock_guard<std::mutex> lk(reply->m);
      // The sender gave up: its arguments may point into a stack that is gone.
      if (reply->stage == Stage::Withdrawn) return;
      reply->stage = Stage::Running;
    }
    intptr_t r = 0;
    if (auto live = find(h); live && live->proc) r = live->proc(message, wParam, lParam);
    std::lock_guard<std::mutex> lk(reply->m);
    reply->result = r;
    reply->stage = Stage::Done;
    reply->cv.notify_all();
  });
  std::unique_lock<std::mutex> lk(reply->m);
  auto done = [&] { return reply->stage == Stage::Done; };
  if (productMs < 0 || !reply->cv.wait_for(lk, scaledDuration(productMs), done)) {
    if (productMs >= 0 && reply->stage == Stage::Queued) {
      reply->stage = Stage::Withdrawn;
      return 0;
    }
    // Unbounded, or the handler already runs with our arguments: they must outlive it.
    reply->cv.wait(lk, done);
  }
  if (delivered) *delivered = true;
  return reply->result;
}

void setWindowData(WindowHandle h, int slot, std::shared_ptr<void> data) {
  std::lock_guard<std::mutex> lk(g_mutex);
  auto it = g_windows.find(h);
  if (it != g_windows.end()) it->second->data[slot] = std::move(data);
}

std::shared_ptr<void> windowData(WindowHandle h, int slot) {
  std::lock_guard<std::mutex> lk(g_mutex);
  auto it = g_windows.find(h);
  if (it == g_windows.end()) return nullptr;
  auto d = it->second->data.find(slot);
  return d == it->second->data.end() ? nullptr : d->second;
}

}  // namespace plat
