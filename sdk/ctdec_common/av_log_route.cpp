#include "av_log_route.h"

#include <cstdarg>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

#include "plat/log.h"

namespace ctdec {

namespace {

// A broken picture is the stream's fault and the program goes on: a warning. Only what the
// library itself calls fatal is an error of the program.
plat::LogLevel LevelOf(int avLevel) {
  if (avLevel <= AV_LOG_FATAL) return plat::LogLevel::Error;
  if (avLevel <= AV_LOG_ERROR) return plat::LogLevel::Warn;
  if (avLevel <= AV_LOG_WARNING) return plat::LogLevel::Info;
  return plat::LogLevel::Debug;
}

void OnLibavLog(void* context, int avLevel, const char* fmt, va_list args) {
  // The library's own level still applies (a caller may quieten it further), then the log's:
  // both before anything is formatted, since a damaged stream calls here for every picture.
  if (avLevel > av_log_get_level()) return;
  const plat::LogLevel level = LevelOf(avLevel);
  if (level < plat::logLevel()) return;
  // A message may come in pieces; the prefix (the reporting codec's name) starts each line.
  thread_local int printPrefix = 1;
  char line[1024];
  av_log_format_line2(context, avLevel, fmt, args, line, sizeof line, &printPrefix);
  size_t n = std::strlen(line);
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
  if (n == 0) return;
  plat::logRated(level, "libav", "%s", line);
}

}  // namespace

void RouteLibavLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(&OnLibavLog); });
}

}  // namespace ctdec
