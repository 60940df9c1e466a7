#include "platform/qt/system_clock.h"

#include <chrono>
#include <ctime>

namespace qv {

int64_t SystemClock::tickMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

DateTime SystemClock::now() {
  using namespace std::chrono;
  auto tp = system_clock::now();
  std::time_t t = system_clock::to_time_t(tp);
  std::tm lt{};
  localtime_r(&t, &lt);
  DateTime d;
  d.year = lt.tm_year + 1900;
  d.month = lt.tm_mon + 1;
  d.day = lt.tm_mday;
  d.hour = lt.tm_hour;
  d.minute = lt.tm_min;
  d.second = lt.tm_sec;
  d.millisecond = static_cast<int>(duration_cast<milliseconds>(tp.time_since_epoch()).count() % 1000);
  d.utcOffsetMinutes = static_cast<int>(lt.tm_gmtoff / 60);
  return d;
}

double SystemClock::secondsSinceMidnight() {
  DateTime d = now();
  return d.hour * 3600.0 + d.minute * 60.0 + d.second + d.millisecond / 1000.0;
}

}  // namespace qv
