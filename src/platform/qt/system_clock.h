// The machine's clocks.
#pragma once

#include "platform/clock.h"

namespace qv {

class SystemClock : public Clock {
 public:
  int64_t tickMs() override;
  double secondsSinceMidnight() override;
  DateTime now() override;
};

}  // namespace qv
