// Clock double: time moves only when the test says so (or per tick read).
#pragma once

#include "platform/clock.h"

namespace qv {

class FakeClock : public Clock {
 public:
  // Starts on 2026-01-15 at the given time of day.
  explicit FakeClock(int hour = 12, int minute = 0, int second = 0) { set(2026, 1, 15, hour, minute, second); }
  void set(int y, int mo, int d, int h, int mi, int s) {
    date_ = {y, mo, d, 0, 0, 0, 0};
    secs_ = h * 3600.0 + mi * 60.0 + s;
  }
  void advance(double seconds) {
    secs_ += seconds;
    // From the running total, so many small steps add up to whole milliseconds.
    elapsed_ += seconds;
    ms_ = static_cast<int64_t>(elapsed_ * 1000.0 + 1e-6);
    while (secs_ >= 86400.0) {
      secs_ -= 86400.0;
      ++date_.day;  // good enough for tests that cross one midnight
    }
  }
  // Milliseconds added on every tickMs() read, to let polling loops progress.
  int64_t autoAdvanceMs = 0;
  // The local time zone: local time minus UTC.
  int utcOffsetMinutes = 60;

  int64_t tickMs() override {
    if (autoAdvanceMs) advance(autoAdvanceMs / 1000.0);
    return ms_;
  }
  double secondsSinceMidnight() override { return secs_; }
  DateTime now() override {
    DateTime t = date_;
    int s = static_cast<int>(secs_);
    t.hour = s / 3600;
    t.minute = (s / 60) % 60;
    t.second = s % 60;
    t.millisecond = static_cast<int>((secs_ - s) * 1000.0);
    t.utcOffsetMinutes = utcOffsetMinutes;
    return t;
  }

 private:
  DateTime date_;
  double secs_ = 0;
  double elapsed_ = 0;
  int64_t ms_ = 0;
};

}  // namespace qv
