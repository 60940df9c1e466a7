// Event pump double: counts passes and runs queued actions at given passes.
// Posted functions run at the next pass, whatever their delay.
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
    // Only what was posted before this pass: a function that posts again runs at the next one.
    auto posted = std::move(posted_);
    posted_.clear();
    for (auto& f : posted) f();
    auto it = actions_.find(passes);
    if (it != actions_.end()) {
      auto fs = std::move(it->second);
      actions_.erase(it);
      for (auto& f : fs) f();
    }
    for (auto& f : every_) f();
  }
  void post(int, std::function<void()> f) override { posted_.push_back(std::move(f)); }
  size_t postedCount() const { return posted_.size(); }

 private:
  std::map<long, std::vector<std::function<void()>>> actions_;
  std::vector<std::function<void()>> every_;
  std::vector<std::function<void()>> posted_;
};

}  // namespace qv
