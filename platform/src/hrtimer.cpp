#include "plat/hrtimer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <time.h>

#include "plat/clock.h"

namespace plat {

namespace {
constexpr int kLongestPeriodMs = 1000000;
std::atomic<int> g_periodsBegun{0};
}  // namespace

bool timerCaps(TimerCaps* out) {
  timespec res{};
  if (!out || clock_getres(CLOCK_MONOTONIC, &res) != 0) return false;
  const long long ns = static_cast<long long>(res.tv_sec) * 1000000000LL + res.tv_nsec;
  // Periods are whole milliseconds: a clock finer than that keeps any of them.
  out->periodMin = static_cast<int>(std::max<long long>(1, (ns + 999999) / 1000000));
  out->periodMax = kLongestPeriodMs;
  return true;
}

bool beginTimerPeriod(int periodMs) {
  TimerCaps caps;
  if (!timerCaps(&caps) || periodMs < caps.periodMin || periodMs > caps.periodMax) return false;
  g_periodsBegun.fetch_add(1);
  return true;
}

bool endTimerPeriod(int periodMs) {
  TimerCaps caps;
  if (!timerCaps(&caps) || periodMs < caps.periodMin || periodMs > caps.periodMax) return false;
  int n = g_periodsBegun.load();
  while (n > 0 && !g_periodsBegun.compare_exchange_weak(n, n - 1)) {
  }
  return n > 0;
}

int timerPeriodsBegun() { return g_periodsBegun.load(); }

struct PeriodicTimer::Impl {
  std::mutex mutex;
  std::condition_variable cv;
  std::thread thread;
  std::thread::id threadId;
  std::function<void()> callback;
  std::chrono::microseconds period{0};
  bool stopping = false;
  bool running = false;
  // Which start a ticking thread belongs to: a thread left behind by a stop from its own
  // callback ends even when that callback started the timer again.
  uint64_t generation = 0;
};

PeriodicTimer::PeriodicTimer() : impl_(std::make_shared<Impl>()) {}
PeriodicTimer::~PeriodicTimer() { stop(); }

static std::chrono::microseconds periodOf(int ms) {
  double us = ms * 1000.0 * timeScale();
  if (us < 100) us = 100;
  return std::chrono::microseconds(static_cast<long long>(us));
}

bool PeriodicTimer::start(int periodMs, std::function<void()> callback) {
  stop();
  if (periodMs <= 0 || !callback) return false;
  auto impl = impl_;
  std::lock_guard<std::mutex> lk(impl->mutex);
  impl->callback = std::move(callback);
  impl->period = periodOf(periodMs);
  impl->stopping = false;
  impl->running = true;
  const uint64_t generation = ++impl->generation;
  impl->thread = std::thread([impl, generation] {
    // Named for what it is, not after the thread that started it.
    pthread_setname_np(pthread_self(), "timer");
    auto next = std::chrono::steady_clock::now() + impl->period;
    std::unique_lock<std::mutex> lk(impl->mutex);
    auto over = [&] { return impl->stopping || impl->generation != generation; };
    while (!over()) {
      if (impl->cv.wait_until(lk, next, over)) break;
      auto cb = impl->callback;
      lk.unlock();
      cb();
      lk.lock();
      next += impl->period;
      auto now = std::chrono::steady_clock::now();
      if (next < now) next = now;  // late ticks are not made up in a burst
    }
  });
  impl->threadId = impl->thread.get_id();
  return true;
}

void PeriodicTimer::setPeriod(int periodMs) {
  if (periodMs <= 0) return;
  std::lock_guard<std::mutex> lk(impl_->mutex);
  impl_->period = periodOf(periodMs);
}

void PeriodicTimer::stop() {
  std::thread t;
  {
    std::lock_guard<std::mutex> lk(impl_->mutex);
    if (!impl_->running) return;
    impl_->stopping = true;
    impl_->running = false;
    t = std::move(impl_->thread);
  }
  impl_->cv.notify_all();
  if (t.joinable()) {
    if (t.get_id() == std::this_thread::get_id())
      t.detach();  // stopped from its own callback: the loop ends after this call
    else
      t.join();
  }
}

bool PeriodicTimer::running() const {
  std::lock_guard<std::mutex> lk(impl_->mutex);
  return impl_->running;
}

}  // namespace plat
