// The live loops: capture, analysis and the scrolling spectrogram, run inside
// the Start handler until StopFlag is set. One-channel and two-channel
// variants share set-up, pass and tear-down; the loop object keeps every
// per-run buffer, so a run allocates at set-up only.
//
// The RAM buffer and disk recording join through the program's live
// participants: set up before the capture opens (false ends the run there),
// each block as captured (before conditioning), gaps, pause and tear-down.
//
// A pass that finds no filled buffer waits a couple of milliseconds for
// events rather than spinning a core; the ring covers far longer than that.
// A block's columns are drawn a few per pass over most of the block's
// duration, so the picture scrolls steadily even with long blocks; they are
// all finished before the next block is analysed and at the end of a run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "analysis/settings.h"
#include "analysis/spectrum.h"
#include "realtime/block_display.h"
#include "realtime/capture.h"

namespace qv {

class Program;
class Control;
class Surface;
class AnalysisEngine;

class LiveLoop {
 public:
  explicit LiveLoop(Program& p);
  ~LiveLoop();
  LiveLoop(const LiveLoop&) = delete;
  LiveLoop& operator=(const LiveLoop&) = delete;

  // Whole runs; they return when the loop has ended and all is released.
  void RunLiveLoopMono() { run(false); }
  void RunLiveLoopStereo() { run(true); }

  // The pieces of a run, for tests and benchmarks. setUp false: the run ended
  // before capture (nothing left open). pass(): one visit of every slot and
  // the pass end (events or pause). tearDown after the last pass.
  bool setUp(bool stereo);
  void pass();
  void tearDown();

  bool running() const { return running_; }
  bool stereo() const { return stereo_; }
  const RunParams& params() const { return run_; }
  const ColumnDraw& draw() const { return display_.draw(); }
  const Capture& capture() const { return capture_; }
  int columnsPerBlock() const { return columnsPerBlock_; }
  int carrySamples() const { return carrySamples_; }
  int64_t blocks() const { return blocks_; }
  int64_t idlePasses() const { return idle_; }
  double SpecGramTimer() const { return specGramTimer_; }
  const FrequencyTracker& tracker() const { return display_.tracker(); }
  const LevelTrigger& trigger() const { return display_.trigger(); }

 private:
  void run(bool stereo);
  void startBlock();
  void drawColumns(int upTo);
  void paceColumns();
  void finishPending();
  void passEnd(bool tookBlock);
  void releaseParticipants(size_t count);
  void endParticipants(size_t count);
  void setLabel(Control* c, const char* text, int n);
  void setNumberLabel(Control* c, double v);

  Program& p_;
  AnalysisEngine* engine_ = nullptr;
  Capture capture_;
  BlockDisplay display_;
  RunParams run_;
  ConditionSetup cond_;
  bool running_ = false;
  bool stereo_ = false;
  bool captureOpen_ = false;
  size_t participantsUp_ = 0;
  int nbuf_ = 0;
  int columnsPerBlock_ = 0;
  int carrySamples_ = 0;
  int64_t blocks_ = 0;
  int64_t idle_ = 0;
  int64_t tick_ = 0;
  double specGramTimer_ = 0;
  bool paused_ = false;

  // Controls read or written per block, looked up once per run.
  Control* label3_ = nullptr;
  Control* label6_ = nullptr;
  Control* label27_ = nullptr;
  Control* l24_ = nullptr;
  Control* l25_ = nullptr;
  Control* label28_ = nullptr;
  Control* dateTime_ = nullptr;
  Control* showDateTime_ = nullptr;
  Control* pause_ = nullptr;
  Control* removeOffset_ = nullptr;
  Control* offsetValue_ = nullptr;
  std::string scratch_;
  // Each block lands here as captured, then behind the carry once the
  // previous block's columns are all drawn.
  std::unique_ptr<int16_t[]> staging_;
  int stagingCapacity_ = 0;
  bool pending_ = false;  // the current block still has columns to draw
  int nextColumn_ = 0;
  int64_t takenMs_ = 0;
  bool linear_ = false;
};

}  // namespace qv
