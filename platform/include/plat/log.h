#pragma once
// One log for the process: to stderr, and to the file named by TARNWICK_LOG when set.
// Quiet by default below warnings; TARNWICK_LOG_LEVEL=debug|info|warn|error chooses.
#include <cstdarg>

namespace plat {

enum class LogLevel { Debug = 0, Info = 1, Warn = 2, Error = 3 };

void logMessage(LogLevel level, const char* component, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
void setLogLevel(LogLevel level);
LogLevel logLevel();

}  // namespace plat

#define PLAT_LOGD(comp, ...) ::plat::logMessage(::plat::LogLevel::Debug, comp, __VA_ARGS__)
#define PLAT_LOGI(comp, ...) ::plat::logMessage(::plat::LogLevel::Info, comp, __VA_ARGS__)
#define PLAT_LOGW(comp, ...) ::plat::logMessage(::plat::LogLevel::Warn, comp, __VA_ARGS__)
#define PLAT_LOGE(comp, ...) ::plat::logMessage(::plat::LogLevel::Error, comp, __VA_ARGS__)
