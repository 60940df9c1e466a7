// The main window: quick settings at the right of the spectrogram, the
// real-time controls, file navigation and field notes below it, status labels
// around it, and the menu bar.
#include "core/designer.h"
#include "core/designer_lists.h"
#include "core/designer_util.h"

namespace qv {

using namespace designer;
using namespace design;

namespace {

void frames(Form& f) {
  // Frames come first so that every parent exists before its children.
  at(frame(f, "Frame1", "Quick Settings"), kQuickLeft, kSpecTop - 6, kQuickWidth, 244);
  at(frame(f, "Frame2", "Real-Time Controls"), 8, kLowerTop, 256, kLowerHeight);
  at(frame(f, "Frame3", "Field Notes"), 520, kLowerTop, 256, 110);
  // File navigation, shown only in "File Analysis"; it takes the middle slot.
  at(frame(f, "Frame4", "File Navigation"), 272, kSpecVsize + 176, 240, 108).setVisible(false);
  at(frame(f, "Frame5", ""), 272, kLowerTop - 11, 240, 108).setVisible(false);
}

// Saved controls, in the window's control order (the settings files follow it).
void savedControls(Form& f) {
  at(tip(text(f, "HeadLine", ""), "Heading"), 8, 2, 252, 20);
  at(tip(text(f, "Text1", "0", "Frame2"), "Colour shift (dB)"), 58, 50, 40, 20);
  at(tip(text(f, "Text2", "1", "Frame2"), "Digital gain"), 164, 50, 56, 20);
  at(tip(text(f, "Text3", "", "Frame4"), "Position to go to: h:m:s, m:s or seconds"), 60, 78, 70, 20);
  Control& pos = at(tip(text(f, "Text4", "00:00", "Frame2"), "File position expressed as mm:ss or hh:mm:ss"), 66,
                    148, 80, 20);
  pos.setEnabled(false);
  at(tip(text(f, "Text5", "0", "Frame2"), "Offset Value to be removed"), 126, 74, 56, 20);
  at(tip(text(f, "Text6", "", "Frame4"), "Time to skip: h:m:s, m:s or seconds"), 184, 78, 48, 20);
  at(tip(text(f, "Text7", "notes...", "Frame3"), "Text of the \"Other >\" note"), 76, 78, 172, 20);
  at(tip(text(f, "StatusLine", ""), "Status"), 264, 2, 264, 20);
  at(tip(text(f, "ZoomBaseField", "0", "Frame2"), "Zoom base bin"), 130, 124, 52, 20);

  // Quick settings: one row per combo, its caption label to the left.
  struct Quick {
    const char* name;
    const char* label;
    const std::vector<std::string>* items;
    const char* value;
    const char* tooltip;
  };
  const std::vector<std::string> none;
  const Quick quick[] = {
      {"Combo1", "Block Size", &lists::kBlockSize, "16384", "Block Size"},
      {"Combo2", "Sampling Rate", &lists::kSampleRate, "48000", "Sampling Rate"},
      {"Combo3", "FFT size", &lists::kFFTsize, "512", "FFTsize"},
      {"Combo4", "Window Size", &lists::kWindowSize, "512", "Window Size"},
      {"Combo5", "Window Type", &lists::kWindowType, "Hanning", "Window Type"},
      {"Combo6", "Scan Step", &lists::kScanStepMain, "512", "Scan Step"},
      {"Combo7", "Display Height", &lists::kDisplayHeightMain, "256", "Display Height"},
      {"Combo8", "Colour Scale", &lists::kColourScaleMain, "0", "Colour Scale"},
      {"Combo10", "Audio Device", &none, "", "Select Audio Device"},
      {"Combo12", "RAM Buffer", &lists::kRamBufferMain, "off", "Activates RAM Recording up to X Mbytes"},
  };
  int y = 18;
  for (const Quick& q : quick) {
    at(tip(combo(f, q.name, *q.items, q.value, "Frame1"), q.tooltip), 94, y, 90, 22);
    y += 22;
  }

  at(tip(check(f, "RecPauseFlag", "Rec Pause", 0, "Frame2"),
         "Pause / Resume file recording without affecting the real-time display"),
     156, 20, 92, 22);
  at(tip(check(f, "Check1", "Remove Offset", 0, "Frame2"), "Remove Offset"), 8, 74, 116, 20);
  at(tip(check(f, "Check2", "Tracker", 0, "Frame2"), "Tracks Dominant Frequency"), 8, 98, 72, 20);
  at(tip(check(f, "Check3", "RB", 0, "Frame2"), "Both channels in one colour"), 84, 98, 44, 20);
  at(tip(check(f, "PauseButton", "Pause", 0, "Frame2"), "Pause / Resume analysis"), 88, 20, 64, 22);
  Control& zoom = at(tip(check(f, "ZoomFlag", "Zoom", 0, "Frame2"), "Zoom"), 8, 124, 120, 20);
  zoom.setEnabled(false);

  at(tip(updown(f, "UpDown1", -20, 20, 0, "Frame2"), "Colour shift in 6 dB steps"), 98, 50, 16, 20);
  // The gain is 2 to the up-down's value, so 0 is the designer gain of 1.
  at(tip(updown(f, "UpDown2", 0, 15, 0, "Frame2"), "Digital gain in steps of 2x"), 220, 50, 16, 20);
  Control& base = at(tip(updown(f, "UpDown5", 0, 8192, 0, "Frame2"), "Changes the zoom base frequency"), 182, 124, 16,
                     20);
  base.setEnabled(false);
}

void quickLabels(Form& f) {
  const char* captions[][2] = {{"Combo1Label", "Block Size"},      {"Combo2Label", "Sampling Rate"},
                               {"Combo3Label", "FFT size"},        {"Combo4Label", "Window Size"},
                               {"Combo5Label", "Window Type"},     {"Combo6Label", "Scan Step"},
                               {"Combo7Label", "Display Height"},  {"Combo8Label", "Colour Scale"},
                               {"Combo10Label", "Audio Device"},   {"Combo12Label", "RAM Buffer"}};
  int y = 18;
  for (auto& c : captions) {
    caption(f, c[0], c[1], "Frame1", 8, y, 84);
    y += 22;
  }
}

void realTimeControls(Form& f) {
  at(tip(button(f, "StartStop", "Start", "Frame2"), "Start / Stop"), 8, 18, 72, 26);
  caption(f, "Text1Label", "Colour", "Frame2", 8, 50, 48);
  caption(f, "Text2Label", "Gain", "Frame2", 126, 50, 36);
  at(tip(label(f, "Label7", "", "Frame2"), "Actual offset of the input waveform"), 186, 76, 62, 18);
  at(tip(button(f, "QuickRecButton", "Rec Mode", "Frame2"), "Stop and Toggle Rec Mode"), 136, 96, 112, 24);
  caption(f, "Text4Label", "Position", "Frame2", 8, 148, 56);
  // Playback's GoTo, enabled by the "File Analysis + Play" mode.
  at(tip(button(f, "GoToS", "GoTo", "Frame2"), "Goto a new position in the file"), 150, 146, 56, 24).setEnabled(false);
}

void fileNavigation(Form& f) {
  const char* nav[][3] = {{"Command1", "|<", "Moves to the beginning of file"},
                          {"Command3", "<<", "Moves one frame back"},
                          {"Command7", "<", "Moves 1/4 frame back"},
                          {"Command12", "<", "Moves 1/16 frame back"},
                          {"Command13", ">", "Moves 1/16 frame forward"},
                          {"Command11", ">", "Moves 1/4 frame forward"},
                          {"Command6", ">>", "Moves one frame forward"},
                          {"Command5", ">|", "Moves to the end of file"}};
  int x = 8;
  for (auto& n : nav) {
    at(tip(button(f, n[0], n[1], "Frame4"), n[2]), x, 18, 26, 22);
    x += 28;
  }
  at(tip(button(f, "Command9", "Reset Timer", "Frame4"), "Reset the timer"), 8, 46, 88, 24);
  at(tip(button(f, "Command14", "Refresh", "Frame4"), "Refresh / Updates the display"), 100, 46, 72, 24);
  at(tip(button(f, "Command24", "+", "Frame4"), "Zoom In"), 176, 46, 26, 24);
  at(tip(button(f, "Command25", "-", "Frame4"), "Zoom Out"), 206, 46, 26, 24);
  at(tip(button(f, "GoToS2", "GoTo", "Frame4"), "Go to the position typed beside"), 8, 76, 48, 24);
  at(tip(button(f, "Jump", "Skip", "Frame4"), "Skip by the time typed beside"), 136, 76, 44, 24);
}

void fieldNotes(Form& f) {
  const char* notes[][3] = {{"NoteR", "R", "RC Regular Clicks"},      {"NoteSN", "SN", "SN Sonar"},
                            {"NoteCD", "CD", "CD Codas"},               {"NoteC", "C", "C Clicks"},
                            {"NoteB", "B", "B Bursts"},                 {"NoteWH", "WH", "HW High freq. whistles"},
                            {"NoteWL", "WL", "LW Low freq. whistles"},  {"NoteSC", "SC", "SC Tonal ship noise"},
                            {"NoteSP", "SP", "SP Pulsed ship noise"},   {"NoteN", "N", "N Nacchere"}};
  for (int i = 0; i < 10; ++i) {
    int row = i / 6, col = i % 6;
    at(tip(button(f, notes[i][0], notes[i][1], "Frame3"), notes[i][2]), 8 + col * 40, 18 + row * 28, 36, 24);
  }
  at(tip(button(f, "NoteOther", "Other >", "Frame3"), "Writes the text beside as a note"), 8, 76, 64, 24);
}

void pictures(Form& f) {
  at(tip(picture(f, "Picture2"), "Colour scale"), 536, 2, 256, 12);
  at(tip(picture(f, "Picture1"), "dB scale"), 536, 14, 256, 14);
  at(picture(f, "SpecGram"), kSpecLeftTics, kSpecTop, kQuickLeft - kSpecLeftTics - 16, kSpecHeight);
}

void statusLabels(Form& f) {
  at(tip(label(f, "Label4", ""), "Run information"), 8, 30, 576, 16);

  // Right column, between the quick settings and the second start button.
  const int x = kQuickLeft;
  at(tip(label(f, "Label3", ""), "Elapsed time"), x, 296, 96, 18);
  at(tip(label(f, "Label9", ""), "RAM buffer fill"), x + 100, 296, 84, 18);
  at(label(f, "BuffersCaption", "Buf"), x, 318, 30, 18);
  at(tip(label(f, "Label20", "0"), "Capture buffers full at the last visit"), x + 32, 318, 28, 18);
  at(tip(label(f, "Label21", "0"), "Most capture buffers full in this run"), x + 62, 318, 28, 18);
  at(label(f, "CpuCaption", "CPU"), x + 94, 318, 30, 18);
  at(tip(label(f, "Label6", ""), "Available CPU time"), x + 126, 318, 58, 18);
  at(label(f, "FailsCaption", "Fails"), x, 340, 36, 18);
  at(tip(label(f, "L24", "0"), "Number of fails (gaps) in the data acquisition"), x + 38, 340, 44, 18);
  at(label(f, "OverloadsCaption", "Ovl"), x + 86, 340, 28, 18);
  at(tip(label(f, "L25", "0"), "Number of overloads"), x + 116, 340, 68, 18);

  // The second start button stands on the spectrogram's bottom edge.
  const int specBottom = kSpecTop + kSpecHeight;
  Control& start2 = at(tip(button(f, "Command23", "Start Stop"), "Start / Stop"), x, specBottom - 42, kQuickWidth, 42);
  const int below = start2.geometry().top + start2.geometry().height + 4;
  at(tip(label(f, "Label27", "0"), "Available CPU time"), x, below, 88, 18);
  at(tip(label(f, "Label28", "0"), "Number of fails (gaps) in the data acquisition"), x + 96, below, 88, 18);

  // Two rows under the lower panels.
  const int row1 = kLowerTop + kLowerHeight + 4, row2 = row1 + 22;
  at(tip(label(f, "LabelCursors", ""), "Cursor readout"), 8, row1, 584, 18);
  at(tip(label(f, "Label5", ""), "Tracker / daytime"), x, row1, kQuickWidth, 18);
  at(tip(label(f, "Label18", ""), "Recorded size"), 8, row2, 80, 18);
  at(tip(label(f, "Label24", ""), "Recorded time"), 92, row2, 96, 18);
  at(tip(label(f, "DateTime", ""), "Date and time"), 192, row2, 160, 18);
  at(tip(label(f, "DDETXT", ""), "GPS text"), 356, row2, 428, 18);
}

void menus(Form& f) {
  menu(f, "FileMenu", "File");
  menu(f, "OpenFilewav", "Open .wav (16 bit)", "FileMenu");
  menu(f, "OpenFileKay", "Open .kay", "FileMenu");
  menu(f, "OpenFileBinary", "Open .bin (16 bit)", "FileMenu");
  menu(f, "OpenFileRaw", "Open .raw (16 bit)", "FileMenu");
  menu(f, "OpenFileExt", "Open .ext (32 bit)", "FileMenu");
  menu(f, "OpenFileEARS", "Open EARS", "FileMenu");
  menu(f, "OpenFileDap", "Open .dap", "FileMenu");
  menu(f, "OpenFileMxx", "Open .mxx", "FileMenu");
  menu(f, "CloseFile", "Close all", "FileMenu");
  menu(f, "SetPlayList", "Play List", "FileMenu");
  menu(f, "ShowPlayList", "Show PlayList", "FileMenu");
  menu(f, "SaveSpectrogram", "Save Spectrogram to .bmp", "FileMenu");
  menu(f, "SaveForm", "Save Form to .bmp", "FileMenu");
  menu(f, "SaveScreen", "Save Screen to .bmp", "FileMenu");
  menu(f, "ExitProgram", "Exit", "FileMenu");

  menu(f, "ModeMenu", "Mode");
  menu(f, "RealTimeAnalysis", "Real-Time Analysis", "ModeMenu");
  menu(f, "RealTimeRecording", "Real-Time Analysis + Recording", "ModeMenu");
  menu(f, "FileAnalysisPlay", "File Analysis + Play", "ModeMenu");
  menu(f, "FileAnalysis", "File Analysis", "ModeMenu");
  menu(f, "StopPlotAcq", "Stop ", "ModeMenu");
  menu(f, "EnableQuick", "Enable Quick Settings RT", "ModeMenu");

  // Off until a RAM buffer size is chosen (the display settings switch it).
  menu(f, "BufferMenu", "Buffer").setEnabled(false);
  menu(f, "SaveBuffer", "Save Buffer ", "BufferMenu");
  menu(f, "SaveBufferAs", "Save Buffer As", "BufferMenu");
  menu(f, "SaveBufferPartial", "Save Buffer Partial", "BufferMenu");
  menu(f, "AnalyzeBuffer", "Analyze Buffer", "BufferMenu");
  menu(f, "PlayBuffer", "Play Buffer", "BufferMenu");

  menu(f, "PresetsMenu", "Presets");
  menu(f, "Mono32", "Mono 0-16kHz", "PresetsMenu");
  menu(f, "Mono48", "Mono 0-24kHz", "PresetsMenu");
  menu(f, "Stereo32", "Stereo 0-16kHz", "PresetsMenu");
  menu(f, "Stereo48", "Stereo 0-24kHz", "PresetsMenu");
  menu(f, "PresetLoad", "Load Basic Settings", "PresetsMenu");
  menu(f, "PresetSave", "Save Basic Settings", "PresetsMenu");
  menu(f, "PresetDefault", "Reset to default", "PresetsMenu");

  menu(f, "SettingsMenu", "Settings");
  menu(f, "BasicSettings", "Basic Settings", "SettingsMenu");
  menu(f, "AdvancedSettings", "Advanced Settings", "SettingsMenu");
  menu(f, "SpecialSettings", "Special Settings", "SettingsMenu");
  menu(f, "UndoLatest", "Undo Latest Changes", "SettingsMenu");
  menu(f, "RefreshAudioDevices", "Refresh Audio Devices", "SettingsMenu");
  menu(f, "CheckAudioDevices", "Check Audio Devices", "SettingsMenu");
  menu(f, "SetTcpIp", "Set TcpIP", "SettingsMenu");

  menu(f, "ToolsMenu", "Tools");
  menu(f, "CheckWavHeader", "Check wav header", "ToolsMenu");
  menu(f, "mnuFixWavHeader", "Fix wav header", "ToolsMenu");
  menu(f, "CheckExtFile", "Check .ext file", "ToolsMenu");
  menu(f, "Split2chwav", "Split Stereo File", "ToolsMenu");
  menu(f, "Split4ch", "Split 4 channels raw to .wav", "ToolsMenu");
  menu(f, "ExtractCut", "Extract Cut ", "ToolsMenu");

  menu(f, "DebugMenu", "Debug").setVisible(false);
  menu(f, "CheckSpeed", "Check Speed", "DebugMenu");

  menu(f, "HelpMenu", "Help");
  menu(f, "HelpIndex", "Help Index", "HelpMenu");
  menu(f, "About", "About", "HelpMenu");

  // One-click items on the menu bar itself; the buffer ones appear only
  // while a RAM buffer is active.
  menu(f, "QuickSaveBuffer", "[SaveBuffer]").setVisible(false);
  menu(f, "BufferSave30", "[Save30s]").setVisible(false);
  menu(f, "BufferSave60", "[Save60s]").setVisible(false);
  menu(f, "ScreenSnapshot", "[ScreenSnapshot]");
}

}  // namespace

void buildForm1(Form& f) {
  f.setSize(kFormWidth, kFormHeight);
  frames(f);
  savedControls(f);
  quickLabels(f);
  realTimeControls(f);
  fileNavigation(f);
  fieldNotes(f);
  pictures(f);
  statusLabels(f);
  menus(f);
}

const char* modeMenuItem(int task) {
  static const char* const items[] = {"RealTimeAnalysis", "RealTimeRecording", "FileAnalysisPlay", "FileAnalysis"};
  return task >= 1 && task <= 4 ? items[task - 1] : nullptr;
}

}  // namespace qv
