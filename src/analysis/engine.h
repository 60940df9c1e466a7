// The analysis engine of the program: the setting boxes' handlers, the
// display settings, the colour palette, the spectrum pipeline and the
// spectrum post-processing states, for the life of the program.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/settings.h"
#include "analysis/spectrum.h"
#include "realtime/spec_gram_copy.h"
#include "realtime/spec_window.h"
#include "realtime/spectrum_ops.h"
#include "realtime/update_form.h"

namespace qv {

class Program;

class AnalysisEngine {
 public:
  explicit AnalysisEngine(Program& p);
  ~AnalysisEngine();
  AnalysisEngine(const AnalysisEngine&) = delete;
  AnalysisEngine& operator=(const AnalysisEngine&) = delete;

  // Attaches the handlers of the setting boxes of the main window and the
  // Basic Settings panel.
  void install();

  void UpdateForm();
  void UpdateInfo();
  // Basic Settings "Apply".
  void Apply_Click();
  // Basic Settings panel loaded: its colour bar.
  void Options0_Load();
  // Times the transforms and prints the results on the spectrogram; returns the lines.
  std::vector<std::string> CheckSpeed();
  // The "Spec" window's graph of each finished column ("Enable SpecForm");
  // n = 0 is its "Reset All".
  void PlotSpec(const float* spec, int n) { specWindow_.PlotSpec(spec, n); }
  SpecWindow& specWindow() { return specWindow_; }
  // Keep the spectrogram image while a dialog or panel covers it, and give it back.
  void SaveSpecGram() { specGramCopy_.SaveSpecGram(program_); }
  void RestoreSpecGram() { specGramCopy_.RestoreSpecGram(program_); }
  bool specGramKept() const { return specGramCopy_.held(); }
  // A block's conditioning in the spectrum engine's sample array; with
  // "Remove Offset" the block mean measured on the way is shown in Label7.
  void ConditionBlock(int first, int count, const ConditionSetup& c);

  // Start of a run: settings, clamps, derived values, window and FFT plan.
  RunParams beginRun(int pictureWidth);
  void endRun();
  // Per-block conditioning choices from the main window and the tools panel.
  ConditionSetup conditionSetup(bool withDither) const;
  // The per-block zoom rule: one row per bin whenever the band fits the
  // image, otherwise as the "Zoom" box says.
  void refreshZoomMode();
  RunTexts runTexts() const;
  // Writes the run-start texts: the status line and the run information label.
  void showRunTexts();
  // Linear scale: the column's smallest and largest value in the run information label.
  void showLinearRange(const ColumnResult& r);
  const RunParams& run() const { return run_; }
  const WindowInfo& windowInfo() const { return window_; }

  SpectrumEngine& spectrum();
  SpectrumOps& ops() { return ops_; }
  DisplayState& display() { return display_; }
  ColourPalette& palette() { return display_.palette; }

  // The Basic Settings panel was changed since the last Apply.
  bool Changed = false;
  // Recording duration for the panel's maximum file size, seconds.
  double RecDuration = 0;
  // Last lines written into the information box.
  std::vector<std::string> infoLines;
  // Further work of UpdateInfo owned elsewhere (free space, hourly split).
  std::function<void()> onUpdateInfo;

 private:
  void mainComboChange(int n);
  void basicComboClick(int n);

  Program& program_;
  DisplayState display_;
  SpectrumOps ops_;
  SpecWindow specWindow_;
  SpecGramCopy specGramCopy_;
  std::unique_ptr<SpectrumEngine> spectrum_;
  RunParams run_;
  WindowInfo window_;
  double chosenScanStep_ = -1;
  bool inScanChange_ = false;
  bool installed_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Creates the engine, attaches its handlers and registers it with the program.
std::unique_ptr<AnalysisEngine> installAnalysis(Program& p);

}  // namespace qv
