#include "platform/audio/paced_thread.h"

#include <algorithm>
#include <chrono>

namespace qv {

int PacedThread::chunkFrames(int rate) { return std::clamp(rate / 400, 1, 4096); }

void PacedThread::start(int rate, std::function<void(int)> step) {
  stop();
  rate = std::max(rate, 1);
  run_.store(true);
  thread_ = std::thread([this, rate, step = std::move(step)] {
    using clock = std::chrono::steady_clock;
    const int chunk = chunkFrames(rate);
    auto t0 = clock::now();
    int64_t frames = 0;
    while (run_.load(std::memory_order_relaxed)) {
      int64_t due = frames + chunk;
      auto when = t0 + std::chrono::nanoseconds(due * 1000000000LL / rate);
      auto now = clock::now();
      if (now < when) {
        std::this_thread::sleep_until(when);
      } else if (now - when > std::chrono::milliseconds(500)) {
        // Held up for long (suspend, debugger): go on from now rather than
        // delivering the backlog in one burst.
        t0 = now - std::chrono::nanoseconds(frames * 1000000000LL / rate);
      }
      if (!run_.load(std::memory_order_relaxed)) break;
      step(chunk);
      frames = due;
    }
  });
}

void PacedThread::stop() {
  run_.store(false);
  if (thread_.joinable()) thread_.join();
}

}  // namespace qv
