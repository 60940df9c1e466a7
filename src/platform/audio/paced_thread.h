// A thread that runs a step at the pace of a sound device: `rate` frames per
// second by the monotonic clock, a few milliseconds' worth per step. Stands
// in for a device that is not a sound card (test signal, WAV file, no output).
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace qv {

class PacedThread {
 public:
  ~PacedThread() { stop(); }
  // `step(frames)` runs on the thread; a block of N frames is done N / rate
  // seconds after the start. `step` must not allocate or block.
  void start(int rate, std::function<void(int frames)> step);
  // Returns once the thread has ended; no step runs afterwards.
  void stop();
  bool running() const { return thread_.joinable(); }
  // The largest number of frames one step is given.
  static int chunkFrames(int rate);

 private:
  std::thread thread_;
  std::atomic<bool> run_{false};
};

}  // namespace qv
