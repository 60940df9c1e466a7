// The frequency tracker: follows the strongest display row inside a band of
// rows on every spectrum column, marks it on the spectrogram and can log each
// detection to "<name><name part>.track.txt" in the log folder.
#pragma once

#include <cstdint>
#include <string>

#include "realtime/line_log.h"
#include "realtime/print_line.h"

namespace qv {

class Program;
class Control;
class Surface;

// The tracker settings as read at run start.
struct TrackSettings {
  int16_t track = 0;     // "Tracker" box of the main window
  int TrackFrom = 0;     // first display row searched
  int TrackTo = 0;       // end row, exclusive
  float TrackTresh = 0;  // detection threshold, dB
  int TrackSave = 0;     // 1 = write the track log
  std::string TrackPath; // folder of both logs, with a trailing "/" when not empty
};

void InitTracking(Program& p, int16_t& track, int& TrackFrom, int& TrackTo, float& TrackTresh, int& TrackSave,
                  std::string& TrackPath);
TrackSettings InitTracking(Program& p);

// What both detector logs put in their names and first lines.
struct LogRunInfo {
  std::string namePart;  // see LogNamePart
  int SampleRate = 0;
  int FFTsize = 0;
  int ScanStep = 0;
};

// The recording name part (empty when not recording), followed by a blank and
// the date-time stamp when "Timestamp" is checked. Call once per run so both
// logs carry the same stamp.
std::string LogNamePart(Program& p, const std::string& recordingNamePart);

// One spectrum column as the detectors see it.
struct ColumnView {
  const float* P = nullptr;  // display values, one per display row (row 0 = lowest frequency)
  int rows = 0;              // DisplayHeight
  float peakToPeak = 0;      // waveform peak-to-peak of the column, sample units
  int64_t ColumnCount = 0;
  int ColumnX = 0;           // spectrogram column
  int x = 0;                 // column inside the drawing target
  float PixelHz = 0;
  int ZoomBase = 0;
  float ColumnTimeMs = 0;
  int Darkness = 0;
  // File analysis logs "----" for the time of day and the time in the file.
  const char* dayText = nullptr;
  double relativeSeconds = -1;
};

class FrequencyTracker {
 public:
  explicit FrequencyTracker(Program& p);

  // InitTracking, then with logging a fresh track log with its two header
  // lines. A log that cannot be created is reported in the status line and
  // the run goes on without it.
  void start(const LogRunInfo& run);
  // Searches the column, updates the tracker label, marks a detection in red
  // on `target` (may be null) and logs it. True on a detection.
  bool TrackColumn(const ColumnView& c, Surface* target);
  void finish();

  const TrackSettings& settings() const { return s_; }
  int64_t TrackCount() const { return trackCount_; }
  bool logging() const { return log_.active(); }
  const std::string& logPath() const { return log_.path(); }

 private:
  void writeLine();

  Program& p_;
  TrackSettings s_;
  LineLog log_;
  PrintLine line_;
  Control* label_ = nullptr;
  std::string labelText_;
  int64_t trackCount_ = 0;
  int64_t lastTracked_ = 0;
  bool writeFailReported_ = false;
};

// Shared by the detectors: time of day "hh:mm:ss" and the run-relative
// "hh:mm:ss.mmm", written into caller buffers (16 bytes).
int formatTimeOfDay(Program& p, char* out);
int formatDurationText(double seconds, char* out);

}  // namespace qv
