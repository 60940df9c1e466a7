// The program as one object: its windows' controls, the main window's public
// variables and the services outside it. Subsystems attach their handlers to
// the controls; loops run inside handlers and call the event pump each pass.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/command_path.h"
#include "core/form.h"
#include "core/position_fix.h"
#include "platform/services.h"

namespace qv {

class AnalysisEngine;

// The main window's public variables shared by the subsystems.
struct PublicVars {
  // Analysis settings (read by PublicSettings at the start of every run).
  int SampleRate = 48000;
  int Channels = 1;
  std::string ChanMode = "M";
  int FFTsize = 512;
  int DigitalGain = 1;
  int ZoomMode = 0;
  int ZoomBase = 0;
  int ZoomFactor = 1;
  float PixelHz = 0;
  float AxisMinFreq = 0;
  float AxisMaxFreq = 0;
  float TapeSpeed = 1;
  float FrequencyDivision = 1;
  int Darkness = 0;
  int zscale = 0;
  int specVsize = 256;

  // Modes and run state.
  int Task = 1;
  bool StopFlag = true;  // true whenever no loop runs or a stop is requested
  int ColumnX = 0;
  int64_t ColumnCount = 0;
  int FailCount = 0;      // capture gaps since the run or the current file began
  int OverloadCount = 0;

  // Window geometry.
  int ScreenXsize = 1024;
  int ScreenYsize = 768;
  int FormHeightMax = 0;
  int FormHeightMin = 0;

  // Current file (empty when none is open).
  std::string CurrentFile;
  int FileType = 0;
  int64_t HeaderSize = 0;
  int64_t FileSize = 0;
  int fchannels = 1;
  // Play list: entries 1..PlayListSize in playing order (entry 0: the folder
  // when it came from the dialog); 0 or 1 means no play list.
  std::vector<std::string> PlayList;
  int PlayListSize = 0;

  // File navigation: byte positions of the current frame, as the file loops count them.
  int64_t FilePos = 0;
  int64_t LastFilePos = 0;  // frame drawn last; 0 forces a redraw
  int64_t FileStep = 0;     // bytes per frame
  double SpecGramTimer = 0; // elapsed seconds of the run or of the frame start

  // GPS text shown on the main window and used in file names.
  std::string DDETXT;
  // Latest valid position from the serial GPS or the UDP GPS text.
  PositionFix LastFix;
  // The last field note of the current (or last) live run.
  std::string LastNote;

  // Recording.
  std::string RecFile;     // file being recorded
  std::string RecLogFile;  // program folder + "RecLog.Log"
  std::string FileTime;    // position in the current file, hh:mm:ss.mmm
  double RecDuration = 0;  // seconds one file of the maximum size holds
};

class LiveParticipant;
class ColumnObserver;

class Program {
 public:
  Program(Services services, std::string programFolder);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  Forms& forms() { return forms_; }
  Form& form1() { return forms_.form1(); }
  Form& options0() { return forms_.options0(); }
  Form& options1() { return forms_.options1(); }
  Form& options2() { return forms_.options2(); }
  PublicVars& vars() { return vars_; }
  const Services& services() const { return services_; }

  // Folder of the fixed-name files, with a trailing "/".
  const std::string& programFolder() const { return programFolder_; }
  std::string programFile(const std::string& name) const { return programFolder_ + name; }

  // Main status line of the main window.
  void setStatus(const std::string& text);
  void appendStatus(const std::string& text);
  std::string status();

  // Stop as the Stop button does, for good: the running loop ends after its
  // pass and no queued or later command runs (the program is closing).
  void requestStop() {
    vars_.StopFlag = true;
    commands_.close();
  }

  // A start that did not happen (no space, no folder, no device): the reason
  // goes to the status line and to every listener (the recording log, the
  // UDP feedback), so a station without a screen hears of it too. The
  // refusing code still shows its own message box.
  void refuseStart(const std::string& why);
  void onStartRefused(std::function<void(const std::string&)> listener);

  // Commands from the operator and from remote programs (see CommandPath).
  CommandPath& commands() { return commands_; }

  // A loop's pass: pending events run once and queued commands are served.
  // Only the loops call these; a handler that waits uses the raw pump, so
  // no command runs inside it.
  void pumpEvents();
  void pumpEventsFor(int ms);

  // The analysis engine, owned by whoever installed it (null before).
  AnalysisEngine* analysis() const { return analysis_; }
  void setAnalysis(AnalysisEngine* a) { analysis_ = a; }

  // Taken into every live run, in registration order (RAM buffer before recording).
  std::vector<LiveParticipant*>& liveParticipants() { return liveParticipants_; }

  // Told of every spectrogram column drawn, live or played back.
  std::vector<ColumnObserver*>& columnObservers() { return columnObservers_; }

 private:
  Services services_;
  std::string programFolder_;
  Forms forms_;
  PublicVars vars_;
  CommandPath commands_;
  AnalysisEngine* analysis_ = nullptr;
  std::vector<LiveParticipant*> liveParticipants_;
  std::vector<std::function<void(const std::string&)>> refusalListeners_;
  std::vector<ColumnObserver*> columnObservers_;
};

}  // namespace qv
