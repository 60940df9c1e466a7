// Audio doubles: buffers complete only when the test says so, and every call
// is recorded. They keep the device rules: a buffer is filled (or played)
// only while queued, in queue order; reset hands every queued buffer back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/audio.h"

namespace qv {

namespace fake_audio_detail {
inline std::string fmt(const WaveFormat& f) {
  return std::to_string(f.sampleRate) + "," + std::to_string(f.channels) + "," + std::to_string(f.bitsPerSample);
}
inline void handBack(WaveBuffer* b, uint32_t bytes) {
  b->bytesRecorded = bytes;
  b->queued.store(false);
  b->done.store(true);
}
}  // namespace fake_audio_detail

// Device list, format query and open, recorded the same way in both directions.
template <typename Device>
class FakeAudioDevice : public Device {
 public:
  explicit FakeAudioDevice(std::vector<AudioDeviceInfo> list) : deviceList(std::move(list)) {}
  std::vector<AudioDeviceInfo> deviceList;
  int queryResult = kWaveOk;  // answer of queryFormat (and of open, which queries first)
  int openResult = kWaveOk;   // answer of open once the query passed
  std::vector<std::string> calls;
  WaveFormat openFormat;
  int openDevice = -99;
  bool isOpen = false;

  std::vector<AudioDeviceInfo> devices() override {
    calls.push_back("devices");
    return deviceList;
  }
  int queryFormat(int device, const WaveFormat& f) override {
    calls.push_back("query(" + std::to_string(device) + "," + fake_audio_detail::fmt(f) + ")");
    return queryResult;
  }
  int open(int device, const WaveFormat& f) override {
    calls.push_back("open(" + std::to_string(device) + "," + fake_audio_detail::fmt(f) + ")");
    if (isOpen) return kWaveAllocated;
    if (queryResult != kWaveOk) return queryResult;
    if (openResult != kWaveOk) return openResult;
    openDevice = device;
    openFormat = f;
    isOpen = true;
    return kWaveOk;
  }
};

// calls: "query(-1,48000,1,16)", "open(...)", "add(1)" (buffers numbered by
// their first addition: 0, 1, ...), "start", "stop", "reset", "close".
class FakeAudioInput : public FakeAudioDevice<AudioInput> {
 public:
  FakeAudioInput() : FakeAudioDevice({{"Default Input Device", 2}, {"Fake Card", 2}}) {}
  int startResult = kWaveOk;
  std::vector<WaveBuffer*> added;  // every addBuffer, in call order
  bool started = false;
  uint64_t lostBlocks = 0;  // completeNext calls that found nothing queued
  uint64_t lostSamplesPending = 0;  // dropped since the last buffer filled
  size_t lastBlockSamples = 0;      // size of the last buffer filled

  int addBuffer(WaveBuffer& b) override {
    auto first = std::find(distinct_.begin(), distinct_.end(), &b);
    size_t id = size_t(first - distinct_.begin());
    if (first == distinct_.end()) distinct_.push_back(&b);
    added.push_back(&b);
    calls.push_back("add(" + std::to_string(id) + ")");
    if (!isOpen) return kWaveInvalidHandle;
    if (b.queued.load()) return kWaveStillPlaying;
    b.bytesRecorded = 0;
    b.lostBefore = 0;
    b.done.store(false);
    b.queued.store(true);
    queue_.push_back(&b);
    return kWaveOk;
  }
  int start() override {
    calls.push_back("start");
    if (!isOpen) return kWaveInvalidHandle;
    if (startResult != kWaveOk) return startResult;
    started = true;
    return kWaveOk;
  }
  int stop() override {
    calls.push_back("stop");
    if (!isOpen) return kWaveInvalidHandle;
    started = false;
    return kWaveOk;
  }
  int reset() override {
    calls.push_back("reset");
    if (!isOpen) return kWaveInvalidHandle;
    started = false;
    for (WaveBuffer* b : queue_) fake_audio_detail::handBack(b, 0);
    queue_.clear();
    return kWaveOk;
  }
  int close() override {
    calls.push_back("close");
    if (!isOpen) return kWaveInvalidHandle;
    for (WaveBuffer* b : queue_) fake_audio_detail::handBack(b, 0);
    queue_.clear();
    isOpen = started = false;
    return kWaveOk;
  }

  // The device fills the front queued buffer: the given samples, then zeros
  // up to its size. False (the audio is lost) when nothing is queued or the
  // device is not running.
  bool completeNext(const std::vector<int16_t>& samples) {
    if (!started || queue_.empty()) {
      ++lostBlocks;
      // A running device drops what it captured; the next buffer is told.
      if (started) lostSamplesPending += samples.empty() ? lastBlockSamples : samples.size();
      return false;
    }
    WaveBuffer* b = queue_.front();
    queue_.pop_front();
    lastBlockSamples = b->data.size();
    b->lostBefore = lostSamplesPending;
    lostSamplesPending = 0;
    size_t n = std::min(samples.size(), b->data.size());
    std::copy(samples.begin(), samples.begin() + long(n), b->data.begin());
    std::fill(b->data.begin() + long(n), b->data.end(), int16_t(0));
    fake_audio_detail::handBack(b, uint32_t(b->data.size() * 2));
    return true;
  }
  // Fills the front buffer with one value.
  bool completeNextWith(int16_t value) {
    if (queue_.empty()) return completeNext({});
    return completeNext(std::vector<int16_t>(queue_.front()->data.size(), value));
  }
  // Fills with a ramp starting at `first`, so each block is recognisable.
  bool completeNextRamp(int16_t first) {
    if (queue_.empty()) return completeNext({});
    std::vector<int16_t> v(queue_.front()->data.size());
    for (size_t i = 0; i < v.size(); ++i) v[i] = int16_t(first + int(i));
    return completeNext(v);
  }
  size_t queuedCount() const { return queue_.size(); }
  const std::deque<WaveBuffer*>& queue() const { return queue_; }

 private:
  std::deque<WaveBuffer*> queue_;
  std::vector<WaveBuffer*> distinct_;
};

// calls: "query(...)", "open(...)", "write", "reset", "close".
class FakeAudioOutput : public FakeAudioDevice<AudioOutput> {
 public:
  FakeAudioOutput() : FakeAudioDevice({{"Default Output Device", 2}, {"Silent Output", 8}}) {}
  std::vector<int16_t> played;  // every sample played, in order
  size_t writes = 0;

  int write(WaveBuffer& b) override {
    calls.push_back("write");
    ++writes;
    if (!isOpen) return kWaveInvalidHandle;
    if (b.queued.load()) return kWaveStillPlaying;
    b.done.store(false);
    b.queued.store(true);
    queue_.push_back(&b);
    return kWaveOk;
  }
  int reset() override {
    calls.push_back("reset");
    if (!isOpen) return kWaveInvalidHandle;
    for (WaveBuffer* b : queue_) fake_audio_detail::handBack(b, 0);
    queue_.clear();
    return kWaveOk;
  }
  int close() override {
    calls.push_back("close");
    if (!isOpen) return kWaveInvalidHandle;
    for (WaveBuffer* b : queue_) fake_audio_detail::handBack(b, 0);
    queue_.clear();
    isOpen = false;
    return kWaveOk;
  }

  // The device finishes playing the front buffer; false when none is queued.
  bool playNext() {
    if (queue_.empty()) return false;
    WaveBuffer* b = queue_.front();
    queue_.pop_front();
    played.insert(played.end(), b->data.begin(), b->data.end());
    fake_audio_detail::handBack(b, uint32_t(b->data.size() * 2));
    return true;
  }
  // Plays everything queued; returns the number of buffers played.
  int playAll() {
    int n = 0;
    while (playNext()) ++n;
    return n;
  }
  size_t queuedCount() const { return queue_.size(); }

 private:
  std::deque<WaveBuffer*> queue_;
};

}  // namespace qv
