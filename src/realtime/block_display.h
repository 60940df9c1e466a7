// The display of analysed blocks for one run, shared by the live loop and
// file playback: the spectrogram picture with its off-screen bitmap and
// scrolling (advanced panel "Display update rate" and "Scrolling"), the
// frequency-marker rows, the one- and two-channel column loops, the tracker
// and trigger with their logs (one channel only), the spectrum-window hook
// and marks standing at sample positions of the data shown.
//
// Per run: begin() after UpdateForm, startDetectors() for one channel, then
// per block readBlockSwitches() and the column loop over the block in the
// spectrum engine's sample array, and end() at tear-down. Nothing here
// allocates per block or per column.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/settings.h"
#include "realtime/column_draw.h"
#include "realtime/tracker.h"
#include "realtime/trigger.h"

namespace qv {

class Program;
class Control;
class Surface;
class AnalysisEngine;
class ColumnObserver;

// The designer size of the spectrogram picture when none has been laid out.
std::shared_ptr<Surface> spectrogramSurface(Program& p);

// A mark at a sample (frame) position of the data shown, with a label.
struct SampleMark {
  int64_t sample = 0;
  std::string label;
};

class BlockDisplay {
 public:
  explicit BlockDisplay(Program& p);
  ~BlockDisplay();
  BlockDisplay(const BlockDisplay&) = delete;
  BlockDisplay& operator=(const BlockDisplay&) = delete;

  // The picture (its separator strip filled), the layout from the advanced
  // panel, the bitmap and the frequency markers. The engine's run must have
  // begun. False (nothing held) when there is no picture.
  bool begin(bool stereo);
  // Tracker and trigger with fresh logs; one channel only.
  void startDetectors(const LogRunInfo& info);
  // Once per block: the "Tracker" box ("RB" is read per batch of columns).
  void readBlockSwitches();
  // Columns k = from .. to - 1 of the block in the sample array, column k
  // starting at k * ScanStep (one channel) or 2 * k * ScanStep interleaved
  // samples (two channels). A column whose ColumnX is still negative (the
  // first columns of a file, whose windows reach into the cleared carry) is
  // computed but lies left of the picture. True when a column came out on
  // the linear scale.
  bool monoColumns(int from, int to, const RunParams& run);
  void stereoColumns(int from, int to, const RunParams& run);
  // Closes the logs and lets the bitmap go.
  void end();

  // Marks drawn as a red line from the top of the separator strip down
  // `length` rows, their label to its left, at the column whose window
  // starts nearest the mark. `frameOfArrayStart` places the sample array
  // within the data before each block's columns.
  void setMarks(std::vector<SampleMark> marks, int length);
  void setMarkOrigin(int64_t frameOfArrayStart) { markOrigin_ = frameOfArrayStart; }

  bool running() const { return picture_ != nullptr; }
  const ColumnDraw& draw() const { return draw_; }
  Surface* picture() const { return picture_.get(); }
  int pictureWidth() const { return pictureWidth_; }
  int displayHeight() const { return draw_.displayHeight(); }
  const FrequencyTracker& tracker() const { return tracker_; }
  const LevelTrigger& trigger() const { return trigger_; }
  bool trackerOn() const { return trackerOn_; }

 private:
  void drawMarks(int X, int64_t windowStart, int scanStep);

  Program& p_;
  AnalysisEngine* engine_ = nullptr;
  ColumnDraw draw_;
  FrequencyTracker tracker_;
  LevelTrigger trigger_;
  std::shared_ptr<Surface> picture_;
  std::shared_ptr<Surface> bitmap_;
  int pictureWidth_ = 0;
  bool stereo_ = false;
  bool detectors_ = false;
  bool trackerOn_ = false;
  Control* trackerBox_ = nullptr;
  Control* rbBox_ = nullptr;
  std::vector<ColumnObserver*> observers_;  // taken at begin()
  std::vector<SampleMark> marks_;  // by sample
  int markLength_ = 0;
  int64_t markOrigin_ = 0;
};

}  // namespace qv
