// The advanced settings panel ("Advanced Settings"): display, analysis,
// averaging, grid and axes, raw files, default block sizes, log files,
// trigger and track, with the controls-file buttons along the bottom.
#include "config/program_folder.h"
#include "core/designer.h"
#include "core/designer_lists.h"
#include "core/designer_util.h"

namespace qv {

using namespace designer;

namespace {

// Columns of 256-px frames; inside them a caption at 8 and a box at 110.
constexpr int kColA = 8, kColB = 272, kColC = 536, kFrameW = 256;
constexpr int kBoxX = 110, kBoxW = 138, kLabelW = 100;

int rowY(int r) { return 20 + r * kRow; }

void frames(Form& f) {
  at(frame(f, "FrameDisplay", "Display"), kColA, 8, kFrameW, 216);
  at(frame(f, "FrameAnalysis", "Analysis"), kColA, 232, kFrameW, 144);
  at(frame(f, "FrameAveraging", "Averaging"), kColA, 384, kFrameW, 72);
  at(frame(f, "FrameOptions", "Reserved"), kColA, 464, kFrameW, 48);
  at(frame(f, "FrameGrid", "Grid and Axes"), kColB, 8, kFrameW, 240);
  at(frame(f, "FrameRaw", "Raw Files"), kColB, 256, kFrameW, 96);
  at(frame(f, "FrameBlock", "Default Block Size"), kColB, 360, kFrameW, 96);
  at(frame(f, "FrameLog", "Log Files"), kColC, 8, kFrameW, 120);
  at(frame(f, "FrameTrigger", "Trigger"), kColC, 136, kFrameW, 144);
  at(frame(f, "FrameTrack", "Track"), kColC, 288, kFrameW, 168);
}

// A text box in row r of a frame, with its caption at the left.
Control& box(Form& f, const std::string& name, const std::string& value, const std::string& frameName, int r,
             const std::string& captionText, int width = 60) {
  caption(f, name + "Label", captionText, frameName, 8, rowY(r), kLabelW);
  return at(text(f, name, value, frameName), kBoxX, rowY(r), width, 20);
}

// A long-captioned text box: the caption takes most of the row.
Control& wideBox(Form& f, const std::string& name, const std::string& value, const std::string& frameName, int r,
                 const std::string& captionText) {
  caption(f, name + "Label", captionText, frameName, 8, rowY(r), 176);
  return at(text(f, name, value, frameName), 186, rowY(r), 62, 20);
}

Control& comboRow(Form& f, const std::string& name, const std::vector<std::string>& items, const std::string& value,
                  const std::string& frameName, int r, const std::string& captionText, int labelWidth = kLabelW) {
  caption(f, name + "Label", captionText, frameName, 8, rowY(r), labelWidth);
  const int x = 10 + labelWidth;
  return at(combo(f, name, items, value, frameName), x, rowY(r), kFrameW - 8 - x, 22);
}

Control& checkAt(Form& f, const std::string& name, const std::string& captionText, int value,
                 const std::string& frameName, int r, int column) {
  return at(check(f, name, captionText, value, frameName), column == 0 ? 8 : 128, rowY(r), 116, 20);
}

void savedControls(Form& f) {
  const std::string home = defaultDataFolder();
  tip(box(f, "textScale32Bit", "8192", "FrameRaw", 2, "32 to 16 bit"), "Scale 32bit to 16bit by");
  tip(at(text(f, "TrackLogFileField", "track", "FrameTrack"), 128, rowY(3), 120, 20), "Track log name");
  tip(box(f, "TriggerTresholdField", "2048", "FrameTrigger", 1, "Treshold linear"), "Treshold level for trigger");
  tip(box(f, "TriggerLogFileField", "trigger", "FrameTrigger", 2, "Log name", kBoxW), "Trigger log name");
  tip(box(f, "Text1", "255", "FrameGrid", 8, "Marker colour"), "Colour index of the frequency markers");
  tip(wideBox(f, "Text3", "not ready", "FrameTrigger", 3, "Keep Off: signals <"),
      "Keep Trigger Off on signals shorter than");
  tip(wideBox(f, "Text9", "not ready", "FrameTrigger", 4, "Keep On: gaps <"),
      "Keep Trigger On on gaps shorter than");
  // Three frequency-marker rows on one line.
  caption(f, "MarkerRowsLabel", "Marker rows", "FrameGrid", 8, rowY(7), kLabelW);
  tip(at(text(f, "Text12", "0", "FrameGrid"), kBoxX, rowY(7), 44, 20), "First marker row (0 = none)");
  tip(at(text(f, "Text13", "0", "FrameGrid"), kBoxX + 46, rowY(7), 44, 20), "Second marker row (0 = none)");
  tip(at(text(f, "Text14", "0", "FrameGrid"), kBoxX + 92, rowY(7), 44, 20), "Third marker row (0 = none)");
  tip(box(f, "Text15", "64", "FrameGrid", 1, "x tic interval"), "x tic interval (pixels)");
  tip(box(f, "Text16", "32", "FrameGrid", 2, "y tic interval"), "y tic interval (pixels)");
  tip(wideBox(f, "Text18", "not ready", "FrameTrack", 4, "Keep On: gaps <"),
      "Keep Track On gaps shorter than");
  tip(wideBox(f, "Text19", "not ready", "FrameTrack", 5, "Keep Off: signals <"),
      "Keep Track Off on signals shorter than");
  tip(box(f, "NotesFieldSeparatorText", "", "FrameLog", 2, "Separator", 30),
      "Sets a special character to separate fields in .log file");
  tip(box(f, "NotesFileNameText", "notes", "FrameLog", 1, "Notes file", kBoxW), "Base name of the notes file");
  tip(box(f, "DefLogPath", home, "FrameLog", 0, "Log path", kBoxW), "Folder for the log files");
  tip(box(f, "DefSavePath", home, "FrameDisplay", 4, "Snapshot path", kBoxW), "Set Path for storing spectrograms");
  tip(box(f, "txtRawSampleRate", "5000", "FrameRaw", 0, "Raw rate"), "Sample rate for .bin and .ext");
  tip(box(f, "txtHeaderSkip", "0", "FrameRaw", 1, "Header skip"), "Heading bytes to skip");
  tip(box(f, "txtMaxVIN", "1000", "FrameGrid", 5, "Max input (mV)"), "Max input level (mV)");
  tip(box(f, "Textxsize", "512", "FrameGrid", 3, "x size"), "Spectrogram width in pixels");
  tip(box(f, "AvgCoeffField", "0.99", "FrameAveraging", 1, "Coefficient..."), "Averaging coefficient");
  tip(box(f, "CursorLogFileField", "cursor", "FrameLog", 3, "Cursor log", kBoxW), "Cursor log name");
  tip(box(f, "TrackFromField", "2", "FrameTrack", 0, "From Line"), "First display row searched");
  tip(box(f, "TrackToField", "256", "FrameTrack", 1, "Track to"), "Display row where the search ends");
  tip(box(f, "TrackTresholdField", "18", "FrameTrack", 2, "Treshold (dB)"), "Treshold level for tracking (dB)");

  tip(comboRow(f, "Combo1", lists::kAmplitudeScale, "0 - dB", "FrameAnalysis", 0, "Amplitude"), "Amplitude scale");
  tip(comboRow(f, "Combo2", lists::kWindowWidth, "1024", "FrameDisplay", 1, "Window width"),
      "Main window width in pixels");
  tip(comboRow(f, "Combo3", lists::kSnapshot, "Spectrogram", "FrameDisplay", 3, "Snapshot"),
      "Picture taken by the one-key snapshot");
  tip(comboRow(f, "Combo4", lists::kDisplayHeightBasic, "256", "FrameDisplay", 0, "Spec height"),
      "Spectrogram height in pixels");
  tip(comboRow(f, "Combo9", lists::kUpdateRate, "2", "FrameDisplay", 2, "Update Rate"), "Display Update Rate");
  tip(comboRow(f, "TapeSpeedCombo", lists::kTapeSpeed, "1", "FrameAnalysis", 1, "Tape Speed"), "Tape Speed Ratio");
  tip(comboRow(f, "FrequencyDivisionCombo", lists::kFrequencyDivision, "1", "FrameAnalysis", 2, "Freq. Division"),
      "Frequency Division Ratio");
  tip(comboRow(f, "DefBlockSizeRecCombo", lists::kBlockSizeRec, "16384", "FrameBlock", 1, "Recording", 130),
      "Default block size for recording");
  tip(comboRow(f, "DefBlockSizeRTACombo", lists::kBlockSizeRTA, "4096", "FrameBlock", 0, "Real-time Analysis", 130),
      "Default block size for real-time analysis");
  tip(comboRow(f, "DefBlockSizePbkCombo", lists::kBlockSizePbk, "8192", "FrameBlock", 2, "Playback", 130),
      "Default block size for playback");
  tip(comboRow(f, "SubSampleCombo", lists::kSubSample, "1", "FrameAnalysis", 3, "Subsample"), "Subsample");
  tip(comboRow(f, "AvgCombo", lists::kAveraging, "0 - Off", "FrameAveraging", 0, "Mode"), "Averaging Mode");

  tip(checkAt(f, "Check1", "Quick Panel", 1, "FrameDisplay", 5, 0), "Show the Quick Settings of the main window");
  tip(checkAt(f, "Check3", "x tics", 1, "FrameGrid", 0, 0), "Time axis under the spectrogram");
  tip(checkAt(f, "Check4", "y tics", 1, "FrameGrid", 0, 1), "Frequency axis beside the spectrogram");
  tip(checkAt(f, "Check6", "y marks", 0, "FrameGrid", 6, 0), "Frequency markers at the marker rows");
  tip(checkAt(f, "TriggerFlag", "Trigger", 0, "FrameTrigger", 0, 0), "Trigger on the waveform peak-to-peak value");
  tip(checkAt(f, "TriggerToFileFlag", "Log to file", 0, "FrameTrigger", 0, 1), "Saves trigger events in a log file");
  at(tip(check(f, "TrackToFileFlag", "Log to file", 0, "FrameTrack"), "Saves track data in a log file"), 8, rowY(3),
     116, 20);
  tip(checkAt(f, "chkRedraw", "Redraw", 0, "FrameDisplay", 7, 0), "Let the window system redraw the spectrogram");
  tip(checkAt(f, "CheckdB", "dB scale", 1, "FrameGrid", 4, 0), "dB legend under the colour bar");
  tip(checkAt(f, "CheckVIN", "Vin scale", 0, "FrameGrid", 4, 1), "Input voltage axis beside the waveform");
  tip(checkAt(f, "RTCursorFlag", "RT Cursor", 1, "FrameDisplay", 6, 0), "Cursor readout over the spectrogram");
  tip(checkAt(f, "chkStereoRB", "Stereo RB", 0, "FrameDisplay", 7, 1), "Stereo display in one colour");
  at(tip(check(f, "DerivateFlag", "Derivative", 0, "FrameAnalysis"), "Analyse the derivative of the signal"), 8,
     rowY(4), 80, 20);
  at(tip(check(f, "CepstrumFlag", "Cepstrum", 0, "FrameAnalysis"), "Cepstrum of each column"), 168, rowY(4), 80, 20);
  at(tip(check(f, "SmoothFlag", "Smooth", 0, "FrameAnalysis"), "Three-point smoothing"), 92, rowY(4), 72, 20);
  tip(checkAt(f, "ShowDateTime", "Date Time", 0, "FrameDisplay", 6, 1), "Show the date and time while running");
  tip(checkAt(f, "ScrollFlag", "Scrolling", 1, "FrameDisplay", 5, 1), "Scrolling display (grey: scroll the strip too)");

  at(option(f, "Option1", "Option 1", "Option", true, "FrameOptions"), 8, 20, 76, 20);
  at(option(f, "Option2", "Option 2", "Option", false, "FrameOptions"), 88, 20, 76, 20);
  at(option(f, "Option3", "Option 3", "Option", false, "FrameOptions"), 168, 20, 76, 20);
}

void labelsAndButtons(Form& f) {
  at(label(f, "DefaultSpaceLabel", "(Default space)", "FrameLog"), 144, rowY(2) + 2, 104, 18);

  at(tip(button(f, "ok", "Apply"), "Confirm settings"), kColB, 468, 80, 28);
  at(tip(button(f, "Command10", "Reset"), "Restore the settings of the panel's opening"), kColB + 88, 468, 80, 28);
  at(tip(button(f, "Command4", "Exit"), "Drop the changes and close"), kColB + 176, 468, 80, 28);

  const int y = 520;
  at(tip(button(f, "SaveDefControls", "Save Default Controls"), "Save all settings as the start-up defaults"), 8, y, 150,
     28);
  at(tip(button(f, "ResetControls", "Load Default"), "Load the start-up defaults"), 166, y, 110, 28);
  at(tip(button(f, "Command1", "Delete Default"), "Delete the start-up defaults"), 284, y, 110, 28);
  at(tip(button(f, "SaveControls", "Save Controls"), "Save all settings to a file"), 402, y, 110, 28);
  at(tip(button(f, "LoadControls", "Load Controls"), "Load all settings from a file"), 520, y, 110, 28);
  at(tip(button(f, "SaveDefPaths", "Save Default Paths"), "Save the default folders"), 638, y, 154, 28);
}

}  // namespace

void buildOptions1(Form& f) {
  f.setSize(800, 560);
  frames(f);
  savedControls(f);
  labelsAndButtons(f);
}

}  // namespace qv
