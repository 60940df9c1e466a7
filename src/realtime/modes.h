// The four acquisition modes and the Start/Stop control: what choosing a mode
// resets and enables, the block size each mode imposes, the Start button's
// captions and colours, and the commands that stop or toggle a run.
//
// The live modes run the live loops here; the file modes call hooks that the
// file analysis and playback code fills in (empty hooks do nothing).
#pragma once

#include <functional>
#include <memory>

#include "platform/surface.h"
#include "realtime/live_loop.h"

namespace qv {

class Program;

// Back colour of the Start button in the recording mode.
constexpr Rgb kRecordRed = rgb(255, 0, 0);

class Modes {
 public:
  explicit Modes(Program& p);
  ~Modes();
  Modes(const Modes&) = delete;
  Modes& operator=(const Modes&) = delete;

  // Attaches the handlers to the main window's menu items and buttons.
  void install();

  void SelectMode(int task);
  void RealTimeAnalysis_Click();
  void RealTimeRecording_Click();
  void FileAnalysisPlay_Click();
  void FileAnalysis_Click();
  void StartStop_Click();
  void Command23_Click() { StartStop_Click(); }
  void QuickRecButton_Click();
  void StopPlotAcq_Click();
  void EnableQuick_Click();
  void RTAnalyzeTCPIP() {}

  LiveLoop& live() { return live_; }

  // Task 4: the file analysis loop; returns when it ended.
  std::function<void()> runFileAnalysis;
  // Task 3: the playback loop over the open file; returns when it ended.
  std::function<void()> runPlayback;
  // Task 3 with no file open: the open-file dialog for WAV files.
  std::function<void()> openFileDialog;
  // Closes any open file; empty: forgets the current file.
  std::function<void()> closeFile;

 private:
  void startRun();
  void blockSizeRule(const char* modeDefault);
  void idleButton();
  void closeOpenFile();
  void waitServing(double seconds);

  Program& p_;
  LiveLoop live_;
  bool installed_ = false;
  int runs_ = 0;               // StartStop_Click running a mode's loop
  bool startPending_ = false;  // a start pressed while that loop was ending
};

// Creates the modes, attaches their handlers and keeps them for the life of
// the program's controls.
Modes& installModes(Program& p);
// The modes installed for this program (null before installModes).
Modes* findModes(Program& p);

}  // namespace qv
