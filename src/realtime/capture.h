// Live sound capture as a ring of NBuf buffers that the loop polls: no
// callback into the program. Each buffer holds BlockSize 16-bit samples (with
// two channels BlockSize / 2 interleaved frames, left first). Buffers are
// allocated at open and released at close; polling allocates nothing.
//
// A pass of a loop makes one visit per buffer:
//   for (int v = 0; v < cap.buffers(); ++v) {
//     if (cap.takeSlot(v, samples + carry)) { ...analyse the block... }
//     if (cap.afterVisit() && recording) log "Fail";
//   }
// Visits go round the slots in slot order, starting each pass at the slot
// that holds the oldest outstanding block, so blocks come out exactly in the
// order the device filled them even when it has wrapped round the ring.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio.h"

namespace qv {

class Program;
class Control;

class Capture {
 public:
  static constexpr int kMaxBuffers = 16;
  enum class State { Closed, Running, Stopped };

  explicit Capture(Program& p);
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  // NBuf: the "WaveIn Buffers" setting of the Special Settings panel, 1..16.
  static int WaveInBuffers(Program& p);

  // Asks the device for 16-bit PCM at this rate and channel count, allocates
  // the buffers, opens the device for polling, queues every buffer in slot
  // order and starts. A refusal is reported (ReportWaveOpenError) and returned
  // with nothing left allocated or open; 0 when running. Resets FailCount and
  // the buffer labels.
  int open(int device, int sampleRate, int channels, int blockSize, int nbuf);

  // Visit number `visit` (0..NBuf-1) of a pass; visit 0 begins the pass. A
  // filled slot is marked, its BlockSize samples are copied to `dest` (when
  // not null) and it goes back to the device queue at once: true. An empty
  // slot is unmarked: false.
  bool takeSlot(int visit, int16_t* dest);
  // Frames the device dropped just before the block last taken (0: none).
  int64_t framesLostBefore() const { return lostBefore_; }
  // After every slot visit: the busy count (slots found full at their last
  // visit) in Label20 and its largest value of the run in Label21. At the
  // visit that ends a pass (the last slot) in which every slot was found full
  // - the device may have run dry - or since which the device reported a gap
  // of its own, FailCount grows by one. True when a fail was counted (the
  // loop logs "Fail" while recording).
  bool afterVisit();

  // Stops the device; buffers already filled stay readable. Close follows.
  void stop();
  // Stop, reset (the device returns every queued buffer), close, release.
  void close();

  State state() const { return state_; }
  bool isOpen() const { return state_ != State::Closed; }
  int buffers() const { return nbuf_; }
  int blockSize() const { return blockSize_; }
  int busy() const { return busy_; }
  int busyMax() const { return busyMax_; }
  bool marked(int slot) const { return slot >= 0 && slot < nbuf_ && marks_[slot] != 0; }
  const WaveFormat& format() const { return format_; }

 private:
  void releaseBuffers();
  void showCount(Control* label, int value, int& shown);

  Program& p_;
  AudioInput* in_ = nullptr;
  State state_ = State::Closed;
  WaveFormat format_;
  int nbuf_ = 0;
  int blockSize_ = 0;
  std::unique_ptr<WaveBuffer[]> bufs_;
  uint16_t marks_[kMaxBuffers] = {};
  int busy_ = 0;
  int busyMax_ = 0;
  int fullThisPass_ = 0;  // slots found full in the current pass
  int lastVisited_ = -1;  // visit number
  int next_ = 0;          // slot of the oldest outstanding block
  int passStart_ = 0;
  bool stalled_ = false;  // this pass met a buffer not yet filled
  int64_t lostBefore_ = 0;
  uint64_t gapsSeen_ = 0;  // the device's own gap count at the last pass end
  Control* label20_ = nullptr;
  Control* label21_ = nullptr;
  int shown20_ = -1;
  int shown21_ = -1;
};

}  // namespace qv
