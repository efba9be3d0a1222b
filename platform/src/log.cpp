#include "plat/log.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
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
std::atomic<uint64_t> g_fileLimit{kLogFileLimit};

// The log file named by TARNWICK_LOG, opened on first use; g_mutex held.
struct LogFile {
  FILE* file = nullptr;
  std::string path;
  uint64_t size = 0;
  bool opened = false;

  FILE* get() {
    if (!opened) {
      opened = true;
      if (const char* p = std::getenv("TARNWICK_LOG"); p && *p) {
        path = p;
        open();
      }
    }
    return file;
  }
  void open(const char* mode = "a") {
    file = std::fopen(path.c_str(), mode);
    size = file && std::fseek(file, 0, SEEK_END) == 0 ? static_cast<uint64_t>(std::max(0L, std::ftell(file))) : 0;
  }
  // A file that has reached its bound becomes "<name>.1" (replacing the one before) and a new
  // one starts: the log never holds more than twice the bound.
  void wrote(size_t bytes) {
    size += bytes;
    if (size < g_fileLimit.load()) return;
    std::fclose(file);
    // Where the old file cannot be moved, it starts again from empty.
    open(std::rename(path.c_str(), (path + ".1").c_str()) == 0 ? "a" : "w");
  }
};

LogFile g_file;

// How much of its rate a rated component has used in its present window.
struct Rate {
  std::chrono::steady_clock::time_point windowStart{};
  int passed = 0;
  uint64_t held = 0;
};
std::mutex g_rateMutex;

void writeLine(LogLevel level, const char* component, const char* text) {
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
  std::fprintf(stderr, "%s [%s] %s(%ld): %s\n", stamp, names[static_cast<int>(level)],
               component ? component : "-", tid, text);
  if (FILE* file = g_file.get()) {
    const int n = std::fprintf(file, "%s [%s] %s(%ld): %s\n", stamp, names[static_cast<int>(level)],
                               component ? component : "-", tid, text);
    std::fflush(file);
    if (n > 0) g_file.wrote(static_cast<size_t>(n));
  }
}

void writeFormatted(LogLevel level, const char* component, const char* fmt, va_list ap) {
  char text[2048];
  std::vsnprintf(text, sizeof text, fmt, ap);
  writeLine(level, component, text);
}

}  // namespace

void setLogFileLimit(uint64_t bytes) { g_fileLimit.store(bytes); }

void setLogLevel(LogLevel level) { g_level.store(static_cast<int>(level)); }
LogLevel logLevel() { return static_cast<LogLevel>(g_level.load()); }

void logRated(LogLevel level, const char* component, const char* fmt, ...) {
  if (static_cast<int>(level) < g_level.load()) return;
  const char* name = component ? component : "-";
  uint64_t heldBefore = 0;
  {
    static std::map<std::string, Rate> rates;
    std::lock_guard<std::mutex> lk(g_rateMutex);
    Rate& r = rates[name];
    const auto now = std::chrono::steady_clock::now();
    if (r.passed == 0 || now - r.windowStart >= std::chrono::milliseconds(kRatedWindowMs)) {
      heldBefore = r.held;
      r = Rate{now, 0, 0};
    }
    if (r.passed >= kRatedLines) {
      ++r.held;
      return;
    }
    ++r.passed;
  }
  if (heldBefore > 0) {
    char note[128];
    std::snprintf(note, sizeof note, "%llu more lines were held back (at most %d in %d s)",
                  static_cast<unsigned long long>(heldBefore), kRatedLines, kRatedWindowMs / 1000);
    writeLine(level, name, note);
  }
  va_list ap;
  va_start(ap, fmt);
  writeFormatted(level, name, fmt, ap);
  va_end(ap);
}

void logMessage(LogLevel level, const char* component, const char* fmt, ...) {
  // The file and stderr alike get the chosen level and above.
  if (static_cast<int>(level) < g_level.load()) return;
  va_list ap;
  va_start(ap, fmt);
  writeFormatted(level, component, fmt, ap);
  va_end(ap);
}

}  // namespace plat
