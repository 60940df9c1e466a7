// Time as the program sees it: injectable so tests can start at 10:59:30.
#pragma once

#include <cstdint>

namespace qv {

struct DateTime {
  int year = 2000, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int utcOffsetMinutes = 0;  // local time minus UTC
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start, monotonic.
  virtual int64_t tickMs() = 0;
  // Seconds since local midnight, with fractions.
  virtual double secondsSinceMidnight() = 0;
  virtual DateTime now() = 0;
};

}  // namespace qv
