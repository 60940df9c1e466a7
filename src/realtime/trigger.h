// The level trigger: reports spectrum columns whose waveform peak-to-peak
// value exceeds a linear threshold, marks every column on the spectrogram's
// trigger strip and can log events and their ends to
// "<name><name part>.trig.txt" in the log folder.
#pragma once

#include <cstdint>
#include <string>

#include "platform/surface.h"
#include "realtime/line_log.h"
#include "realtime/print_line.h"
#include "realtime/tracker.h"

namespace qv {

class Program;
class Control;

class LevelTrigger {
 public:
  enum class Step { Off, Event, Continue, End };

  // Above-threshold columns no further apart than this belong to one event.
  static constexpr int64_t kHoldColumns = 4;
  // Pixel rows of the trigger marks on the spectrogram picture.
  static constexpr int kMarkTop = 266;
  static constexpr int kMarkBottom = 272;

  explicit LevelTrigger(Program& p);

  // Reads the threshold; with `allowLog` and both "Trigger" and "Log to file"
  // checked, creates a fresh trigger log with its two header lines. A log that
  // cannot be created is reported in the status line and the run goes on.
  void start(const LogRunInfo& run, bool allowLog = true);
  // Whether the "Trigger" box is checked now (the loops ask per column).
  bool enabled() const;
  // One column: state, event or end record, tracker label and the mark line
  // at ColumnX on `spectrogram` (may be null).
  Step TriggerColumn(const ColumnView& c, Surface* spectrogram);
  void finish();

  float threshold() const { return threshold_; }
  // Running event number of the last event (0 before the first).
  int32_t N() const { return eventN_; }
  bool logging() const { return log_.active(); }
  const std::string& logPath() const { return log_.path(); }

  // Mark colours: the background of the strip for quiet columns (the loop
  // sets it to the inactive-border colour) and a continuing trigger.
  Rgb offColour = rgb(212, 208, 200);
  Rgb continueColour = rgb(255, 255, 0);

 private:
  void writeRecord(int32_t n, const ColumnView& c, float pp);

  Program& p_;
  LineLog log_;
  PrintLine line_;
  Control* flag_ = nullptr;
  Control* label_ = nullptr;
  std::string labelText_;
  float threshold_ = 0;
  bool on_ = false;
  int64_t lastAbove_ = 0;
  int64_t lastEvent_ = 0;
  int32_t nextN_ = 1;
  int32_t eventN_ = 0;
  bool writeFailReported_ = false;
};

}  // namespace qv
