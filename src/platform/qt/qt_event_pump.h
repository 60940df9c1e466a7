// The Qt event loop as the program's event pump.
#pragma once

#include "platform/event_pump.h"

namespace qv {

class QtEventPump : public EventPump {
 public:
  void processEvents() override;
  void processEventsFor(int ms) override;
  void post(int delayMs, std::function<void()> f) override;
};

}  // namespace qv
