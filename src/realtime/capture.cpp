#include "realtime/capture.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "core/program.h"
#include "realtime/devices.h"

namespace qv {

Capture::Capture(Program& p) : p_(p) {}

Capture::~Capture() { close(); }

int Capture::WaveInBuffers(Program& p) {
  int n = p.options2()["Combo2"].intNumber();
  return std::clamp(n, 1, kMaxBuffers);
}

int Capture::open(int device, int sampleRate, int channels, int blockSize, int nbuf) {
  close();
  in_ = p_.services().audioIn;
  format_ = WaveFormat{};
  format_.sampleRate = sampleRate;
  format_.channels = channels;
  format_.bitsPerSample = 16;

  if (!in_) {
    ReportWaveOpenError(p_, kWaveBadDevice);
    return kWaveBadDevice;
  }
  if (int rc = in_->queryFormat(device, format_); rc != kWaveOk) {
    ReportWaveOpenError(p_, rc);
    return rc;
  }

  nbuf_ = std::clamp(nbuf, 1, kMaxBuffers);
  blockSize_ = std::max(blockSize, 1);
  bufs_.reset(new WaveBuffer[static_cast<size_t>(nbuf_)]);
  for (int i = 0; i < nbuf_; ++i) bufs_[i].data.assign(static_cast<size_t>(blockSize_), 0);

  // A device that accepted the format may still refuse to open (busy, gone):
  // polling it would wait forever for data, so it is refused like a format.
  if (int rc = in_->open(device, format_); rc != kWaveOk) {
    releaseBuffers();
    ReportWaveOpenError(p_, rc);
    return rc;
  }
  for (int i = 0; i < nbuf_; ++i) {
    WaveBuffer& b = bufs_[i];
    b.bytesRecorded = 0;
    b.done.store(false);
    in_->addBuffer(b);
  }

  std::fill(std::begin(marks_), std::end(marks_), uint16_t{0});
  busy_ = 0;
  busyMax_ = 0;
  fullThisPass_ = 0;
  lastVisited_ = -1;
  next_ = passStart_ = 0;
  stalled_ = false;
  lostBefore_ = 0;
  gapsSeen_ = in_->gaps();
  p_.vars().FailCount = 0;
  label20_ = p_.form1().find("Label20");
  label21_ = p_.form1().find("Label21");
  shown20_ = shown21_ = -1;
  showCount(label20_, 0, shown20_);
  showCount(label21_, 0, shown21_);

  state_ = State::Running;
  if (int rc = in_->start(); rc != kWaveOk) {
    close();
    ReportWaveOpenError(p_, rc);
    return rc;
  }
  return kWaveOk;
}

bool Capture::takeSlot(int visit, int16_t* dest) {
  if (state_ == State::Closed || visit < 0 || visit >= nbuf_) return false;
  if (visit == 0) {
    passStart_ = next_;
    fullThisPass_ = 0;
    stalled_ = false;
  }
  lastVisited_ = visit;
  const int slot = (passStart_ + visit) % nbuf_;
  WaveBuffer& b = bufs_[slot];
  // The device fills buffers in queue order, so once the next buffer is not
  // ready none after it may be taken in this pass: it would be a newer block
  // jumping ahead of one that completes a moment later. The acquire load
  // makes the device thread's samples visible before they are read.
  if (stalled_ || !b.done.load(std::memory_order_acquire)) {
    stalled_ = true;
    if (marks_[slot]) --busy_;
    marks_[slot] = 0;
    return false;
  }
  if (!marks_[slot]) ++busy_;
  marks_[slot] = 1;
  ++fullThisPass_;
  if (dest) std::memcpy(dest, b.data.data(), static_cast<size_t>(blockSize_) * sizeof(int16_t));
  lostBefore_ = static_cast<int64_t>(b.lostBefore / static_cast<uint64_t>(std::max(1, format_.channels)));
  // Straight back into the queue, behind the buffers already there. After a
  // stop the device takes nothing more, so the buffer just stays empty.
  b.bytesRecorded = 0;
  b.done.store(false, std::memory_order_release);
  if (state_ == State::Running) in_->addBuffer(b);
  next_ = (slot + 1) % nbuf_;
  return true;
}

bool Capture::afterVisit() {
  if (state_ == State::Closed) return false;
  busyMax_ = std::max(busyMax_, busy_);
  showCount(label20_, busy_, shown20_);
  showCount(label21_, busyMax_, shown21_);
  // Judged once the pass has visited every slot, on what this pass found: a
  // mark left from an earlier pass belongs to a buffer that has been queued
  // again since, so it proves nothing about the device running dry.
  if (lastVisited_ != nbuf_ - 1) return false;
  // A gap the device reported itself is a lost stretch of samples too.
  const uint64_t gaps = in_->gaps();
  const bool deviceGap = gaps != gapsSeen_;
  gapsSeen_ = gaps;
  if (fullThisPass_ < nbuf_ && !deviceGap) return false;
  fullThisPass_ = 0;
  ++p_.vars().FailCount;
  return true;
}

void Capture::stop() {
  if (state_ != State::Running) return;
  in_->stop();
  state_ = State::Stopped;
}

void Capture::close() {
  if (state_ == State::Closed) return;
  stop();
  for (int i = 0; i < nbuf_; ++i)
    if (bufs_[i].done.load()) bufs_[i].done.store(false);
  in_->reset();
  for (int i = 0; i < nbuf_; ++i) bufs_[i].done.store(false);
  in_->close();
  releaseBuffers();
  state_ = State::Closed;
}

void Capture::releaseBuffers() {
  bufs_.reset();
  nbuf_ = 0;
  busy_ = 0;
}

void Capture::showCount(Control* label, int value, int& shown) {
  if (!label || value == shown) return;
  shown = value;
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  label->setCaption(std::string(buf, r.ptr));
}

}  // namespace qv
