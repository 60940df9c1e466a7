#include "core/designer.h"
#include "core/designer_lists.h"
#include "core/designer_util.h"

namespace qv {

using namespace designer;

void buildOptions0(Form& f) {
  for (const char* n : {"FileRecPathField", "DefPlayPathField", "MaxNFiles", "txtUDP2", "LocalPort1", "LocalPort2",
                        "RemoteIP2", "RemotePort2", "FSep", "FileRecNameField", "FileNamePostfix", "TimeTag"})
    text(f, n, "");
  combo(f, "Combo1", lists::kBlockSize, "16384");
  combo(f, "Combo2", lists::kSampleRate, "48000");
  combo(f, "Combo3", lists::kFFTsize, "512");
  combo(f, "Combo4", lists::kWindowSize, "512");
  combo(f, "Combo5", lists::kWindowType, "Hanning");
  combo(f, "Combo6", lists::kScanStepBasic, "512");
  combo(f, "Combo7", lists::kDisplayHeightBasic, "256");
  combo(f, "Combo8", lists::kColourScaleBasic, "0");
  combo(f, "Combo9", {}, "");
  combo(f, "Combo10", {}, "");
  combo(f, "Combo12", lists::kRamBufferBasic, "off");
  combo(f, "cmbSpeedUp", {}, "");
  combo(f, "FileMaxSizeCombo", {}, "680 MB (CD size)");
  combo(f, "FileModeCombo", {}, "2 - single file recording");
  combo(f, "NchanCombo", lists::kChannels, "1 - mono (left)");
  combo(f, "RamBufferModeCombo", {}, "1");
  option(f, "OptionCS0", "Stereo", "CS", true);
  option(f, "OptionCS1", "Mono (Left)", "CS");
  option(f, "OptionCS2", "Mono (Right)", "CS");
  option(f, "OptionCS3", "Mono (Left + Right)", "CS");
  option(f, "OptionCS4", "Mono (Left - Right)", "CS");
  for (const char* n : {"SplitHourly", "AddRecN", "PresetAutoloadFlag", "CheckAnalysisOnOpen", "ImmediatePlayCheck",
                        "LockFormCheck", "AddGPS", "SpanDiskCheck", "AddUDP", "Check4", "AddTimeStamp", "chkUDPSlave",
                        "CheckDDEsend"})
    check(f, n, "");
}

void buildOptions1(Form& f) {
  for (const char* n : {"textScale32Bit", "TrackLogFileField", "TriggerTresholdField", "TriggerLogFileField", "Text1",
                        "Text3", "Text9", "Text12", "Text13", "Text14", "Text15", "Text16", "Text18", "Text19",
                        "NotesFieldSeparatorText", "NotesFileNameText", "DefLogPath", "DefSavePath",
                        "txtRawSampleRate", "txtHeaderSkip", "txtMaxVIN", "Textxsize", "AvgCoeffField",
                        "CursorLogFileField", "TrackFromField", "TrackToField", "TrackTresholdField"})
    text(f, n, "");
  f["Textxsize"].setText("512");
  f["AvgCoeffField"].setText("0.99");
  combo(f, "Combo1", {"0 - dB", "1 - Linear"}, "0 - dB");
  combo(f, "Combo2", {"1024", "1280", "1600"}, "");
  combo(f, "Combo3", {}, "");
  combo(f, "Combo4", {}, "256");
  combo(f, "Combo9", {"1", "2", "4", "8", "16", "32", "64"}, "2");
  combo(f, "TapeSpeedCombo", {"0.1", "0.125", "0.25", "0.5", "1", "2", "4", "8", "10"}, "1");
  combo(f, "FrequencyDivisionCombo", {"1", "2", "4", "5", "8", "10", "16", "20"}, "1");
  combo(f, "DefBlockSizeRecCombo", {}, "");
  combo(f, "DefBlockSizeRTACombo", {}, "");
  combo(f, "DefBlockSizePbkCombo", {}, "");
  combo(f, "SubSampleCombo", {"1", "2", "4", "8"}, "1");
  combo(f, "AvgCombo",
        {"0 - Off", "1 - Average On", "2 - Subtract Average", "3 - Hold Max", "4 - Hold Max & Decay"}, "0 - Off");
  for (const char* n : {"Check1", "Check3", "Check4", "Check6", "TriggerFlag", "TriggerToFileFlag", "TrackToFileFlag",
                        "chkRedraw", "CheckdB", "CheckVIN", "RTCursorFlag", "chkStereoRB", "DerivateFlag",
                        "CepstrumFlag", "SmoothFlag", "ShowDateTime", "ScrollFlag"})
    check(f, n, "");
  f["RTCursorFlag"].setValue(1);
  option(f, "Option1", "", "Option", true);
  option(f, "Option2", "", "Option");
  option(f, "Option3", "", "Option");
}

void buildOptions2(Form& f) {
  combo(f, "Combo2", {"1", "2", "4", "6", "8", "10", "12", "14", "16"}, "2").setToolTip("WaveIn Buffers");
  check(f, "chkDither1", "");
  check(f, "chkDither2", "");
  check(f, "chkDither3", "");
  text(f, "txtDither", "");
  check(f, "SpecFormCheck", "Enable SpecForm");
}

void buildSpecForm(Form& f) { picture(f, "PlotSpec"); }

void buildTcpIp(Form& f) { (void)f; }

void buildForms(Forms& forms) {
  buildForm1(forms.form1());
  buildOptions0(forms.options0());
  buildOptions1(forms.options1());
  buildOptions2(forms.options2());
  buildSpecForm(forms.specForm());
  buildTcpIp(forms.tcpIp());
}

}  // namespace qv
