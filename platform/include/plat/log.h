#pragma once
// One log for the process: to stderr, and to the file named by TARNWICK_LOG when set. The
// libraries and the program print nothing else: what a library they call prints of its own
// (the decoders' libavcodec) is routed here too.
// Quiet by default below warnings; TARNWICK_LOG_LEVEL=debug|info|warn|error chooses, for
// both. The file is bounded: at kLogFileLimit bytes it becomes "<name>.1" (replacing the one
// before) and a new file starts.
#include <cstdarg>
#include <cstdint>

namespace plat {

enum class LogLevel { Debug = 0, Info = 1, Warn = 2, Error = 3 };

inline constexpr uint64_t kLogFileLimit = 8u << 20;
// Another bound for the file (tests).
void setLogFileLimit(uint64_t bytes);

void logMessage(LogLevel level, const char* component, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
// For a source that can speak without end (a decoder fed a damaged stream): of each component
// at most kRatedLines lines pass in kRatedWindowMs (real time); the lines held back are
// counted and told in one line before the next that passes.
inline constexpr int kRatedLines = 10;
inline constexpr int kRatedWindowMs = 10000;
void logRated(LogLevel level, const char* component, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
void setLogLevel(LogLevel level);
LogLevel logLevel();

}  // namespace plat

#define PLAT_LOGD(comp, ...) ::plat::logMessage(::plat::LogLevel::Debug, comp, __VA_ARGS__)
#define PLAT_LOGI(comp, ...) ::plat::logMessage(::plat::LogLevel::Info, comp, __VA_ARGS__)
#define PLAT_LOGW(comp, ...) ::plat::logMessage(::plat::LogLevel::Warn, comp, __VA_ARGS__)
#define PLAT_LOGE(comp, ...) ::plat::logMessage(::plat::LogLevel::Error, comp, __VA_ARGS__)
