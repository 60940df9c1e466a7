// The hand-over between the program's thread and a device thread: a
// lock-free single-producer / single-consumer ring of buffer pointers. The
// program pushes; the device fills (capture) or drains (playback) the front
// buffer and marks it done. The flush calls run on the program's thread
// only while the device thread is halted (stream stopped, thread joined).
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/audio.h"

namespace qv {

class BufferQueue {
 public:
  static constexpr size_t kCapacity = 64;

  // Program thread.
  bool push(WaveBuffer* b) {
    size_t t = tail_.load(std::memory_order_relaxed);
    if (t - head_.load(std::memory_order_acquire) >= kCapacity) return false;
    b->bytesRecorded = 0;
    b->lostBefore = 0;
    b->done.store(false, std::memory_order_relaxed);
    b->queued.store(true, std::memory_order_relaxed);
    ring_[t % kCapacity] = b;
    tail_.store(t + 1, std::memory_order_release);
    return true;
  }

  size_t size() const { return tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_acquire); }

  // Device thread: copies n samples into the queued buffers in order; what
  // finds no buffer is lost.
  void fill(const int16_t* src, size_t n) {
    while (n > 0) {
      WaveBuffer* b = front();
      if (!b) {
        lose(n);
        return;
      }
      startBuffer(b);
      size_t cap = b->data.size();
      size_t k = std::min(n, cap - pos_);
      if (k) {
        if (src) std::memcpy(b->data.data() + pos_, src, k * sizeof(int16_t));
        else std::memset(b->data.data() + pos_, 0, k * sizeof(int16_t));
        if (src) src += k;
        pos_ += k;
        n -= k;
      }
      if (pos_ >= cap) popDone(uint32_t(cap * sizeof(int16_t)));
    }
  }

  // Device thread: like fill, but takes only the first channel of `frames`
  // interleaved frames of `stride` channels (a card that records only in stereo
  // when one channel is wanted).
  void fillFirstChannel(const int16_t* src, size_t frames, int stride) {
    while (frames > 0) {
      WaveBuffer* b = front();
      if (!b) {
        lose(frames);
        return;
      }
      startBuffer(b);
      size_t cap = b->data.size();
      size_t k = std::min(frames, cap - pos_);
      int16_t* d = b->data.data() + pos_;
      for (size_t i = 0; i < k; ++i) d[i] = src ? src[i * size_t(stride)] : int16_t(0);
      if (src) src += k * size_t(stride);
      pos_ += k;
      frames -= k;
      if (pos_ >= cap) popDone(uint32_t(cap * sizeof(int16_t)));
    }
  }

  // Device thread: plays n samples out of the queued buffers in order;
  // silence where none is queued.
  void drain(int16_t* dst, size_t n) {
    while (n > 0) {
      WaveBuffer* b = front();
      if (!b) {
        std::memset(dst, 0, n * sizeof(int16_t));
        idle_.fetch_add(n, std::memory_order_relaxed);
        return;
      }
      size_t cap = b->data.size();
      size_t k = std::min(n, cap - pos_);
      if (k) {
        std::memcpy(dst, b->data.data() + pos_, k * sizeof(int16_t));
        dst += k;
        pos_ += k;
        n -= k;
      }
      if (pos_ >= cap) popDone(uint32_t(cap * sizeof(int16_t)));
    }
  }

  // Halted device: a partly filled front buffer is returned with what it holds.
  void finishPartial() {
    if (pos_ > 0 && front()) popDone(uint32_t(pos_ * sizeof(int16_t)));
  }

  // Halted device: every queued buffer is returned done.
  void flush() {
    finishPartial();
    while (front()) popDone(0);
  }

  uint64_t lostSamples() const { return lost_.load(std::memory_order_relaxed); }
  uint64_t idleSamples() const { return idle_.load(std::memory_order_relaxed); }
  void clearCounters() {
    lost_.store(0, std::memory_order_relaxed);
    idle_.store(0, std::memory_order_relaxed);
    pendingLost_ = 0;
  }

 private:
  // Device thread: samples dropped are told to the next buffer filled.
  void lose(size_t n) {
    lost_.fetch_add(n, std::memory_order_relaxed);
    pendingLost_ += n;
  }
  void startBuffer(WaveBuffer* b) {
    if (pos_ != 0) return;
    b->lostBefore = pendingLost_;
    pendingLost_ = 0;
  }
  WaveBuffer* front() const {
    size_t h = head_.load(std::memory_order_relaxed);
    if (h == tail_.load(std::memory_order_acquire)) return nullptr;
    return ring_[h % kCapacity];
  }
  void popDone(uint32_t bytes) {
    size_t h = head_.load(std::memory_order_relaxed);
    WaveBuffer* b = ring_[h % kCapacity];
    pos_ = 0;
    head_.store(h + 1, std::memory_order_release);
    b->bytesRecorded = bytes;
    b->queued.store(false, std::memory_order_relaxed);
    b->done.store(true, std::memory_order_release);
  }

  std::array<WaveBuffer*, kCapacity> ring_{};
  alignas(64) std::atomic<size_t> head_{0};
  alignas(64) std::atomic<size_t> tail_{0};
  size_t pos_ = 0;  // samples done in the front buffer (device side)
  uint64_t pendingLost_ = 0;  // device side
  std::atomic<uint64_t> lost_{0};
  std::atomic<uint64_t> idle_{0};
};

}  // namespace qv
