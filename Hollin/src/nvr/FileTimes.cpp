#include "nvr/FileTimes.h"

#include <ctime>
#include <limits>

namespace hollin {

uint32_t SecondsFromLocal(const TIME& t) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  const time_t s = std::mktime(&tm);
  if (s <= 0) return 0;
  if (static_cast<long long>(s) > std::numeric_limits<uint32_t>::max())
    return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(s);
}

TIME LocalFromSeconds(uint32_t seconds) {
  const time_t s = static_cast<time_t>(seconds);
  std::tm tm{};
  localtime_r(&s, &tm);
  return TIME{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace hollin
