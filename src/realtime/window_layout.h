// The main window's size and place on its screen and the places of its
// controls: the spectrogram's height from the advanced panel's "Spec
// height", the window's width from its "Window width", the lower panels
// below the spectrogram, the quick panel and the status column at the right
// edge, and the window snapping to its full or its reduced height.
#pragma once

#include <vector>

namespace qv {

class Program;
class Control;
class AnalysisEngine;

class WindowLayout {
 public:
  WindowLayout(Program& p, AnalysisEngine& engine);
  // "Window width" and "Spec height" lay the window out anew, "x size"
  // sets the spectrogram's width, and a resize of the main window places
  // the controls again.
  void install();

  // Size and place of the window for the screen, then the controls.
  void SetForm();
  // The controls for the window's size; the window snaps to one of its two
  // heights and is widened to hold the lower panels.
  void SetObjDimensions();
  // "x size": the spectrogram's width in whole "x tic interval"s, at least 128.
  void Textxsize_Change();

 private:
  void formChanged();

  Program& p_;
  AnalysisEngine& engine_;
  bool busy_ = false;         // inside SetForm or SetObjDimensions
  bool showingWidth_ = false; // writing the width into "x size"
  int seenWidth_ = 0, seenHeight_ = 0;
  // Controls kept at a fixed distance from the quick panel's left edge.
  std::vector<std::pair<Control*, int>> rightColumn_;
  // Controls kept at a fixed distance below the lower panels.
  std::vector<std::pair<Control*, int>> bottomRows_;
};

}  // namespace qv
