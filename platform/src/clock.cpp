#include "plat/clock.h"

#include <atomic>
#include <cmath>
#include <ctime>
#include <sys/time.h>
#include <thread>

namespace plat {
namespace {
std::atomic<double> g_scale{1.0};
}

void setTimeScale(double scale) { g_scale.store(scale > 0 ? scale : 1.0); }
double timeScale() { return g_scale.load(); }

int scaled(int productMs) {
  if (productMs <= 0) return productMs;
  double v = std::ceil(productMs * g_scale.load());
  if (v < 1) v = 1;
  if (v > 0x7fffffff) v = 0x7fffffff;
  return static_cast<int>(v);
}

std::chrono::milliseconds scaledDuration(int productMs) {
  return std::chrono::milliseconds(productMs < 0 ? 0 : scaled(productMs));
}

int64_t monotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint32_t tickCount() { return static_cast<uint32_t>(monotonicMs()); }

void sleepMs(int productMs) {
  if (productMs <= 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(scaledDuration(productMs));
}

LocalTime localTime() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::tm tm{};
  time_t t = tv.tv_sec;
  localtime_r(&t, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                   tm.tm_sec, static_cast<int>(tv.tv_usec / 1000), tm.tm_wday};
}

}  // namespace plat
