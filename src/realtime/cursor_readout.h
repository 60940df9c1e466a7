// The readout of the spectrogram pixel under the mouse: position, time,
// frequency and level, optionally against a reference point set by a press,
// and the position in the analysed file; shown in LabelCursors and, on a
// right click, appended to the cursor log.
#pragma once

#include <string>

namespace qv {

class Program;
class AnalysisEngine;
struct MouseEvent;

class CursorReadout {
 public:
  CursorReadout(Program& p, AnalysisEngine& engine);
  // SpecGram press and move, and moves over the main window itself.
  void install();

  // Shows the readout for picture pixel (x, y); button 1 (left held) adds
  // the reference and the differences; log_mode != 0 appends it to the log.
  void MouseCursor(int x, int y, int button, int log_mode);
  void SpecGram_MouseDown(const MouseEvent& m);
  void SpecGram_MouseMove(const MouseEvent& m);
  void Form_MouseMove();

  // The cursor log: log path + the cursor log name + ".txt".
  std::string logPath() const;

  int MouseX = 0, MouseY = 0;
  int RefX = 0, RefY = 0;
  // The analysed file last named in the cursor log.
  std::string LastFile;

 private:
  float frequencyAt(int y, int channels, float binWidthHz, std::string* channelText) const;
  void log(const std::string& readout);

  Program& p_;
  AnalysisEngine& engine_;
};

}  // namespace qv
