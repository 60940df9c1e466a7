// Audio input double: queued buffers complete only when the test calls
// complete(n), in queue order, each filled with its block number. Every call
// on the device is recorded.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/audio.h"

namespace qv::test {

class ScriptedAudioInput : public AudioInput {
 public:
  std::vector<AudioDeviceInfo> deviceList = {{"Default", 2}, {"Card A", 2}, {"Card B", 1}};
  int queryResult = kWaveOk;
  int openResult = kWaveOk;
  int startResult = kWaveOk;
  std::vector<std::string> calls;  // "query", "open", "add 0", "start", "stop", "reset", "close"
  WaveFormat lastFormat;
  int lastDevice = -99;
  int blocksFilled = 0;  // block numbers handed out so far
  uint64_t gapCount = 0;  // gaps the device reports

  uint64_t gaps() const override { return gapCount; }

  std::vector<AudioDeviceInfo> devices() override { return deviceList; }
  int queryFormat(int device, const WaveFormat& f) override {
    calls.push_back("query");
    lastDevice = device;
    lastFormat = f;
    return queryResult;
  }
  int open(int device, const WaveFormat& f) override {
    calls.push_back("open");
    lastDevice = device;
    lastFormat = f;
    if (openResult == kWaveOk) open_ = true;
    return openResult;
  }
  int addBuffer(WaveBuffer& b) override {
    calls.push_back("add " + std::to_string(slotOf(&b)));
    b.queued = true;
    queue_.push_back(&b);
    return kWaveOk;
  }
  int start() override {
    calls.push_back("start");
    started_ = startResult == kWaveOk;
    return startResult;
  }
  int stop() override {
    calls.push_back("stop");
    started_ = false;
    return kWaveOk;
  }
  int reset() override {
    calls.push_back("reset");
    for (WaveBuffer* b : queue_) {
      b->bytesRecorded = 0;
      b->queued = false;
      b->done = true;
    }
    queue_.clear();
    return kWaveOk;
  }
  int close() override {
    calls.push_back("close");
    open_ = false;
    slots_.clear();
    return kWaveOk;
  }

  // Fills up to n queued buffers in queue order with block numbers 1, 2, ...
  // (every sample of a block holds its number); returns how many completed.
  // Blocks beyond the queued buffers are lost, as on a device that ran dry.
  int complete(int n) {
    int done = 0;
    while (started_ && done < n && !queue_.empty()) {
      WaveBuffer* b = queue_.front();
      queue_.pop_front();
      ++blocksFilled;
      std::fill(b->data.begin(), b->data.end(), static_cast<int16_t>(blocksFilled));
      b->bytesRecorded = static_cast<uint32_t>(b->data.size() * 2);
      b->queued = false;
      b->done = true;
      ++done;
    }
    return done;
  }
  int queued() const { return static_cast<int>(queue_.size()); }
  // Slot numbers of the queued buffers, front first.
  std::vector<int> queueSlots() {
    std::vector<int> s;
    for (WaveBuffer* b : queue_) s.push_back(slotOf(b));
    return s;
  }
  bool isOpen() const { return open_; }
  bool isStarted() const { return started_; }
  // Calls recorded since the last take, then forgotten.
  std::vector<std::string> takeCalls() {
    std::vector<std::string> c;
    c.swap(calls);
    return c;
  }

 private:
  // A buffer's slot is the order in which it was first queued.
  int slotOf(WaveBuffer* b) {
    auto it = std::find(slots_.begin(), slots_.end(), b);
    if (it != slots_.end()) return static_cast<int>(it - slots_.begin());
    slots_.push_back(b);
    return static_cast<int>(slots_.size()) - 1;
  }

  std::deque<WaveBuffer*> queue_;
  std::vector<WaveBuffer*> slots_;
  bool open_ = false;
  bool started_ = false;
};

}  // namespace qv::test
