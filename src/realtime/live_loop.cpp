#include "realtime/live_loop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/engine.h"
#include "core/program.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/surface.h"
#include "realtime/devices.h"
#include "realtime/live_participant.h"
#include "realtime/print_line.h"
#include "realtime/update_form.h"

namespace qv {
namespace {

// How long a paused loop waits for events before it looks at "Pause" again.
constexpr int kPauseWaitMs = 50;
// How long a pass that found no filled buffer waits for events.
constexpr int kIdleWaitMs = 2;
// A block's columns are drawn over this share of its duration, so the
// picture moves steadily rather than a block's width at a time; blocks
// shorter than kPaceMinMs are drawn at once.
constexpr double kPaceShare = 0.8;
constexpr double kPaceMinMs = 20.0;

// The recording's name part as the detector logs use it: the file name of
// the file being recorded, without folder and extension.
std::string recordingNamePart(Program& p) {
  if (p.vars().Task != 2) return {};
  std::string f = p.vars().RecFile;
  const size_t slash = f.find_last_of('/');
  if (slash != std::string::npos) f = f.substr(slash + 1);
  if (f.size() >= 4 && f[f.size() - 4] == '.') f.resize(f.size() - 4);
  return f;
}

}  // namespace

LiveLoop::LiveLoop(Program& p) : p_(p), capture_(p), display_(p) { scratch_.reserve(64); }

LiveLoop::~LiveLoop() {
  if (running_) tearDown();
}

void LiveLoop::setLabel(Control* c, const char* text, int n) {
  if (!c) return;
  scratch_.assign(text, static_cast<size_t>(n));
  c->setCaption(scratch_);
}

void LiveLoop::setNumberLabel(Control* c, double v) {
  char buf[40];
  setLabel(c, buf, formatLabelNumber(v, buf));
}

void LiveLoop::run(bool stereo) {
  if (!setUp(stereo)) return;
  do {
    pass();
  } while (!p_.vars().StopFlag);
  tearDown();
}

void LiveLoop::releaseParticipants(size_t count) {
  auto& parts = p_.liveParticipants();
  for (size_t i = 0; i < count && i < parts.size(); ++i) parts[i]->tearDown();
}

void LiveLoop::endParticipants(size_t count) {
  auto& parts = p_.liveParticipants();
  for (size_t i = 0; i < count && i < parts.size(); ++i) parts[i]->ended();
}

bool LiveLoop::setUp(bool stereo) {
  if (running_) return false;
  engine_ = p_.analysis();
  if (!engine_) return false;
  stereo_ = stereo;
  Form& f = p_.form1();
  PublicVars& v = p_.vars();

  // The two-channel loop needs at least 4096 words a block (2048 frames):
  // the box is rewritten, so the run and the operator see the same size.
  if (stereo_)
    if (Control* block = f.find("Combo1"); block && block->number() < 4096) block->setText("4096");

  // 1-8: buffers, settings, clamps, derived values, window table.
  nbuf_ = Capture::WaveInBuffers(p_);
  Control& spec = f["SpecGram"];
  {
    auto picture = spectrogramSurface(p_);
    if (!picture) return false;
    run_ = engine_->beginRun(spec.geometry().width > 0 ? spec.geometry().width : picture->width());
  }
  SpectrumEngine& eng = engine_->spectrum();
  if (stereo_) {
    // Two channels: every second sample, always in dB, no post-processing.
    ColumnSetup s = eng.setup();
    s.stride = 2;
    s.zscale = 0;
    s.avgMode = 0;
    s.cepstrum = false;
    eng.beginRun(s);
    eng.plotSpec = nullptr;
    run_.blockSeconds = static_cast<double>(run_.BlockSize) / std::max(v.SampleRate, 1) / 2;
    columnsPerBlock_ = static_cast<int>(roundEven(static_cast<double>(run_.BlockSize) / 2 / run_.ScanStep));
    carrySamples_ = 2 * run_.carry;
  } else {
    if (Control* sf = p_.options2().find("SpecFormCheck"); sf && sf->checked()) p_.forms().specForm().setShown(true);
    columnsPerBlock_ = run_.columnsPerBlock;
    carrySamples_ = run_.carry;
  }
  // A block behind the carry must fit the sample array.
  if (run_.BlockSize + carrySamples_ > kSampleCapacity) run_.BlockSize = kSampleCapacity - carrySamples_;
  std::fill(eng.samples(), eng.samples() + kSampleCapacity, int16_t(0));
  if (stagingCapacity_ < run_.BlockSize) {
    staging_ = std::make_unique<int16_t[]>(static_cast<size_t>(run_.BlockSize));
    stagingCapacity_ = run_.BlockSize;
  }
  pending_ = false;

  // 9-10.
  v.ChanMode = stereo_ ? "S" : "M";
  if (stereo_)
    if (Control* t = f.find("Check2")) t->setEnabled(false);
  engine_->UpdateForm();
  // 10-11. The picture, the off-screen bitmap and the frequency markers.
  if (!display_.begin(stereo_)) {
    engine_->endRun();
    return false;
  }
  // Without a bitmap the columns fill the picture's image rows.
  run_.DisplayHeight = display_.displayHeight();

  // 12. Counters, dither, RAM buffer.
  blocks_ = 0;
  idle_ = 0;
  specGramTimer_ = 0;
  cond_ = engine_->conditionSetup(true);
  if (Control* l = f.find("Label9")) l->setCaption("");
  // 12-13. RAM buffer and recording: a refusal ends the run before capture.
  participantsUp_ = 0;
  for (LiveParticipant* part : p_.liveParticipants()) {
    if (!part->setUp(p_, run_)) {
      const size_t up = participantsUp_;
      releaseParticipants(up);
      participantsUp_ = 0;
      engine_->endRun();
      display_.end();
      if (stereo_)
        if (Control* t = f.find("Check2")) t->setEnabled(true);
      endParticipants(up);
      return false;
    }
    ++participantsUp_;
  }

  // 14. Tracker and trigger (one channel only).
  if (!stereo_) {
    LogRunInfo info;
    info.namePart = LogNamePart(p_, recordingNamePart(p_));
    info.SampleRate = v.SampleRate;
    info.FFTsize = v.FFTsize;
    info.ScanStep = run_.ScanStep;
    display_.startDetectors(info);
  }

  // 15. Run information.
  engine_->showRunTexts();
  if (Control* l4 = f.find("Label4")) {
    std::string info = l4->caption();
    for (LiveParticipant* part : p_.liveParticipants()) info += part->runInfo();
    l4->setCaption(info);
  }

  // 16. The capture.
  const int device = FindInputDevice(p_, f["Combo10"].text());
  if (capture_.open(device, v.SampleRate, stereo_ ? 2 : 1, run_.BlockSize, nbuf_) != 0) {
    const size_t up = participantsUp_;
    releaseParticipants(up);
    participantsUp_ = 0;
    engine_->endRun();
    display_.end();
    if (stereo_)
      if (Control* t = f.find("Check2")) t->setEnabled(true);
    endParticipants(up);
    return false;
  }
  captureOpen_ = true;

  // 17. (The frequency markers were read with the bitmap.)
  Form& o1 = p_.options1();
  label3_ = f.find("Label3");
  label6_ = f.find("Label6");
  label27_ = f.find("Label27");
  l24_ = f.find("L24");
  l25_ = f.find("L25");
  label28_ = f.find("Label28");
  dateTime_ = f.find("DateTime");
  showDateTime_ = o1.find("ShowDateTime");
  pause_ = f.find("PauseButton");
  removeOffset_ = f.find("Check1");
  offsetValue_ = f.find("Text5");
  v.FailCount = 0;
  v.OverloadCount = 0;
  v.LastNote.clear();
  eng.overloadCount = 0;
  v.ColumnCount = 0;
  v.ColumnX = 0;
  paused_ = false;
  tick_ = p_.services().clock ? p_.services().clock->tickMs() : 0;
  running_ = true;
  v.StopFlag = false;
  for (size_t i = 0; i < participantsUp_; ++i) p_.liveParticipants()[i]->started();
  return true;
}

void LiveLoop::pass() {
  if (!running_) return;
  bool any = false;
  for (int visit = 0; visit < capture_.buffers(); ++visit) {
    if (capture_.takeSlot(visit, staging_.get())) {
      // The previous block's columns are finished before its samples move.
      finishPending();
      if (const int64_t lost = capture_.framesLostBefore(); lost > 0)
        for (size_t i = 0; i < participantsUp_; ++i) p_.liveParticipants()[i]->gap(lost);
      startBlock();
      any = true;
    } else {
      ++idle_;
    }
    if (capture_.afterVisit())
      for (size_t i = 0; i < participantsUp_; ++i) p_.liveParticipants()[i]->fail();
  }
  paceColumns();
  passEnd(any);
}

void LiveLoop::finishPending() {
  if (pending_) drawColumns(columnsPerBlock_);
}

void LiveLoop::paceColumns() {
  if (!pending_) return;
  Clock* clock = p_.services().clock;
  const double span = run_.blockSeconds * 1000.0 * kPaceShare;
  if (!clock || span <= kPaceMinMs) {
    drawColumns(columnsPerBlock_);
    return;
  }
  const double elapsed = static_cast<double>(clock->tickMs() - takenMs_);
  const double share = std::clamp(elapsed / span, 0.0, 1.0);
  drawColumns(static_cast<int>(std::ceil(share * columnsPerBlock_)));
}

void LiveLoop::drawColumns(int upTo) {
  upTo = std::min(upTo, columnsPerBlock_);
  if (!pending_ || upTo <= nextColumn_) return;
  if (stereo_)
    display_.stereoColumns(nextColumn_, upTo, run_);
  else if (display_.monoColumns(nextColumn_, upTo, run_))
    linear_ = true;
  nextColumn_ = upTo;
  if (nextColumn_ < columnsPerBlock_) return;
  // 11. Keep the overlap for the next block.
  SpectrumEngine& eng = engine_->spectrum();
  if (carrySamples_ > 0)
    std::memmove(eng.samples(), eng.samples() + run_.BlockSize, static_cast<size_t>(carrySamples_) * sizeof(int16_t));
  if (linear_) engine_->showLinearRange(eng.result());
  pending_ = false;
}

void LiveLoop::startBlock() {
  PublicVars& v = p_.vars();
  SpectrumEngine& eng = engine_->spectrum();
  Clock* clock = p_.services().clock;
  char buf[40];

  // 1. Time the loop waited since the previous block.
  const int64_t now = clock ? clock->tickMs() : 0;
  ++blocks_;
  const int waited = formatLabelNumber(static_cast<double>(now - tick_), buf);
  setLabel(label6_, buf, waited);
  setLabel(label27_, buf, waited);
  // 2.
  setLabel(label3_, buf, formatDurationText(specGramTimer_, buf));
  specGramTimer_ += run_.blockSeconds;
  // 3.
  if (showDateTime_ && showDateTime_->checked() && dateTime_ && clock) {
    const DateTime t = clock->now();
    const int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                                t.minute, t.second);
    setLabel(dateTime_, buf, std::clamp(n, 0, static_cast<int>(sizeof buf) - 1));
  }
  // 4-6. The block as captured goes to the RAM buffer and the recording.
  const int16_t* block = staging_.get();
  std::memcpy(eng.samples() + carrySamples_, block, static_cast<size_t>(run_.BlockSize) * sizeof(int16_t));
  for (size_t i = 0; i < participantsUp_; ++i) p_.liveParticipants()[i]->block(block, run_.BlockSize);
  // 7.
  v.OverloadCount = static_cast<int>(std::min<int64_t>(eng.overloadCount, INT32_MAX));
  setNumberLabel(l24_, v.FailCount);
  setNumberLabel(l25_, v.OverloadCount);
  if (label28_ && l24_) label28_->setCaption(l24_->caption());
  // 8. Conditioning reaches the analysis only.
  if (removeOffset_) cond_.removeOffset = removeOffset_->checked();
  if (offsetValue_) cond_.offsetValue = std::clamp(offsetValue_->intNumber(), -32767, 32767);
  cond_.digitalGain = v.DigitalGain;
  engine_->ConditionBlock(carrySamples_, run_.BlockSize, cond_);
  // 9.
  display_.readBlockSwitches();
  engine_->refreshZoomMode();
  // 10-11. The columns are drawn spread over the block's time (paceColumns).
  pending_ = true;
  nextColumn_ = 0;
  linear_ = false;
  // 12.
  tick_ = clock ? clock->tickMs() : 0;
  takenMs_ = tick_;
}

void LiveLoop::passEnd(bool tookBlock) {
  EventPump* pump = p_.services().pump;
  if (!pause_ || !pause_->checked()) {
    // A pass that found nothing waits a moment for events instead of
    // spinning a core; the ring holds many times this wait.
    if (tookBlock)
      p_.pumpEvents();
    else
      p_.pumpEventsFor(kIdleWaitMs);
    return;
  }
  p_.setStatus("P" + p_.status());
  paused_ = true;
  for (size_t i = 0; i < participantsUp_; ++i) p_.liveParticipants()[i]->pause(true);
  // Capture runs on meanwhile; the gaps are counted when the pause ends. A
  // stop request (Stop unticks "Pause" anyway, a datagram may not) ends it too.
  while (pause_->checked() && !p_.vars().StopFlag) {
    if (!pump) break;
    p_.pumpEventsFor(kPauseWaitMs);
  }
  for (size_t i = 0; i < participantsUp_; ++i) p_.liveParticipants()[i]->pause(false);
  paused_ = false;
}

void LiveLoop::tearDown() {
  if (!running_) return;
  finishPending();
  if (captureOpen_) capture_.stop();
  const size_t up = participantsUp_;
  releaseParticipants(up);
  participantsUp_ = 0;
  if (captureOpen_) capture_.close();
  captureOpen_ = false;
  display_.end();
  engine_->endRun();
  if (stereo_)
    if (Control* t = p_.form1().find("Check2")) t->setEnabled(true);
  running_ = false;
  p_.vars().StopFlag = true;
  endParticipants(up);
}

}  // namespace qv
