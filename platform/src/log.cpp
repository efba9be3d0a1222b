#include "plat/log.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/time.h>
#include <unistd.h>
#include <sys/syscall.h>
#include <ctime>

namespace plat {
namespace {

LogLevel levelFromEnv() {
  const char* v = std::getenv("TARNWICK_LOG_LEVEL");
  if (!v) return LogLevel::Warn;
  if (!std::strcmp(v, "debug")) return LogLevel::Debug;
  if (!std::strcmp(v, "info")) return LogLevel::Info;
  if (!std::strcmp(v, "error")) return LogLevel::Error;
  return LogLevel::Warn;
}

std::atomic<int> g_level{static_cast<int>(levelFromEnv())};
std::mutex g_mutex;

FILE* logFile() {
  static FILE* f = [] {
    const char* p = std::getenv("TARNWICK_LOG");
    return p ? std::fopen(p, "a") : nullptr;
  }();
  return f;
}

}  // namespace

void setLogLevel(LogLevel level) { g_level.store(static_cast<int>(level)); }
LogLevel logLevel() { return static_cast<LogLevel>(g_level.load()); }

void logMessage(LogLevel level, const char* component, const char* fmt, ...) {
  FILE* file = logFile();
  bool toStderr = static_cast<int>(level) >= g_level.load();
  if (!toStderr && !file) return;
  char text[2048];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  static const char* names[] = {"debug", "info", "warn", "error"};
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::tm tm{};
  time_t t = tv.tv_sec;
  localtime_r(&t, &tm);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(tv.tv_usec / 1000));
  long tid = static_cast<long>(syscall(SYS_gettid));
  std::lock_guard<std::mutex> lk(g_mutex);
  if (toStderr)
    std::fprintf(stderr, "%s [%s] %s(%ld): %s\n", stamp, names[static_cast<int>(level)],
                 component ? component : "-", tid, text);
  if (file) {
    std::fprintf(file, "%s [%s] %s(%ld): %s\n", stamp, names[static_cast<int>(level)],
                 component ? component : "-", tid, text);
    std::fflush(file);
  }
}

}  // namespace plat
