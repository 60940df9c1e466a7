// Lets pending events (buttons, datagrams, timers) run once; the loops call
// it once per pass so that their handlers run nested inside the loop.
#pragma once

#include <functional>

namespace qv {

class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void processEvents() = 0;
  // Blocks for a short while when idle (pause); defaults to one pass.
  virtual void processEventsFor(int ms) { (void)ms; processEvents(); }
  // Runs `f` from the event processing once `delayMs` have passed, never
  // inside the call that posts it.
  virtual void post(int delayMs, std::function<void()> f) = 0;
};

}  // namespace qv
