// Event pump double: counts passes and runs queued actions at given passes.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "platform/event_pump.h"

namespace qv {

class ScriptedPump : public EventPump {
 public:
  long passes = 0;
  // Runs `f` during pass number `pass` (1-based).
  void at(long pass, std::function<void()> f) { actions_[pass].push_back(std::move(f)); }
  // Runs `f` on every pass (after the scheduled ones).
  void every(std::function<void()> f) { every_.push_back(std::move(f)); }
  void processEvents() override {
    ++passes;
    auto it = actions_.find(passes);
    if (it != actions_.end()) {
      auto fs = std::move(it->second);
      actions_.erase(it);
      for (auto& f : fs) f();
    }
    for (auto& f : every_) f();
  }

 private:
  std::map<long, std::vector<std::function<void()>>> actions_;
  std::vector<std::function<void()>> every_;
};

}  // namespace qv
