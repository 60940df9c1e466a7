#include "core/designer.h"
#include "core/designer_lists.h"
#include "core/designer_util.h"

namespace qv {

using namespace designer;

void buildForm1(Form& f) {
  // Saved controls, in the window's control order.
  text(f, "HeadLine", "");
  text(f, "Text1", "0");
  text(f, "Text2", "1");
  text(f, "Text3", "");
  text(f, "Text4", "");
  text(f, "Text5", "0");
  text(f, "Text6", "");
  text(f, "Text7", "");
  text(f, "StatusLine", "");
  text(f, "ZoomBaseField", "0");
  frame(f, "Frame1", "Quick Settings");
  combo(f, "Combo1", lists::kBlockSize, "16384", "Frame1").setToolTip("Block Size");
  combo(f, "Combo2", lists::kSampleRate, "48000", "Frame1").setToolTip("Sampling Rate");
  combo(f, "Combo3", lists::kFFTsize, "512", "Frame1").setToolTip("FFTsize");
  combo(f, "Combo4", lists::kWindowSize, "512", "Frame1").setToolTip("Window Size");
  combo(f, "Combo5", lists::kWindowType, "Hanning", "Frame1").setToolTip("Window Type");
  combo(f, "Combo6", lists::kScanStepMain, "512", "Frame1").setToolTip("Scan Step");
  combo(f, "Combo7", lists::kDisplayHeightMain, "256", "Frame1").setToolTip("Display Height");
  combo(f, "Combo8", lists::kColourScaleMain, "0", "Frame1").setToolTip("Colour Scale");
  combo(f, "Combo10", {}, "", "Frame1").setToolTip("Audio Input Device");
  combo(f, "Combo12", lists::kRamBufferMain, "off", "Frame1").setToolTip("Activates RAM Recording up to X Mbytes");
  check(f, "RecPauseFlag", "Rec Pause");
  check(f, "Check1", "");
  check(f, "Check2", "Tracker");
  check(f, "Check3", "RB");
  check(f, "PauseButton", "Pause");
  check(f, "ZoomFlag", "Zoom").setEnabled(false);
  updown(f, "UpDown1", -20, 20, 0);
  updown(f, "UpDown2", 1, 100, 1);
  updown(f, "UpDown5", 0, 8192, 0).setEnabled(false);

  // Run controls, pictures and labels.
  button(f, "StartStop", "Start");
  button(f, "Command23", "Start Stop");
  picture(f, "SpecGram");
  picture(f, "Picture1");
  picture(f, "Picture2", "Frame1");
  label(f, "DDETXT", "");
  for (const char* n : {"LabelCursors", "Label3", "Label4", "Label5", "Label6", "Label7", "Label9", "Label24"})
    label(f, n, "");
  for (const char* n : {"Label20", "Label21", "Label27", "Label28", "L24", "L25"}) label(f, n, "0");
  label(f, "DateTime", "");
  frame(f, "Frame2", "");
  frame(f, "Frame3", "");
  frame(f, "Frame4", "").setVisible(false);
  frame(f, "Frame5", "").setVisible(false);
  button(f, "QuickRecButton", "Rec Mode");

  // Mode menu.
  menu(f, "ModeMenu", "Mode");
  menu(f, "RealTimeAnalysis", "Real-Time Analysis", "ModeMenu");
  menu(f, "RealTimeRecording", "Real-Time Analysis + Recording", "ModeMenu");
  menu(f, "FileAnalysisPlay", "File Analysis + Play", "ModeMenu");
  menu(f, "FileAnalysis", "File Analysis", "ModeMenu");
  menu(f, "DebugMenu", "Debug").setVisible(false);
}

}  // namespace qv
