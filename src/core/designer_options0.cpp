// The settings panel ("Settings"): basic analysis settings and presets at the
// left, recording, RAM buffer, remote commander and stereo files at the right.
#include "config/program_folder.h"
#include "core/designer.h"
#include "core/designer_lists.h"
#include "core/designer_util.h"

namespace qv {

using namespace designer;

namespace {

void frames(Form& f) {
  at(frame(f, "FrameBasic", "Basic Settings"), 8, 8, 392, 328);
  at(frame(f, "FramePlayback", "Playback"), 8, 344, 392, 124);
  at(frame(f, "FrameDisk", "Disk Recording"), 408, 8, 384, 222);
  at(frame(f, "FrameRam", "RAM Buffer"), 408, 238, 384, 50);
  at(frame(f, "FrameRemote", "Remote Commander"), 408, 296, 384, 74);
  at(frame(f, "FrameStereo", "Stereo Files"), 408, 378, 384, 90);
  at(frame(f, "FrameWeb", "Web View"), 8, 476, 784, 72);
}

void savedControls(Form& f) {
  const std::string home = defaultDataFolder();
  at(tip(text(f, "FileRecPathField", home, "FrameDisk"), "Path for the recording"), 70, 20, 230, 20);
  at(tip(text(f, "DefPlayPathField", home, "FramePlayback"), "Path where to search for files"), 74, 20, 310, 20);
  at(tip(text(f, "MaxNFiles", "240", "FrameDisk"), "Max number of files to be recorded in a session (9999)"), 308, 142,
     68, 20);
  at(tip(text(f, "txtUDP2", "", "FrameRemote"), "Remote command status and last datagram"), 8, 46, 182, 20);
  at(tip(text(f, "LocalPort1", "11115", "FrameDisk"), "UDP Port for reading GPS data"), 300, 92, 76, 20);
  at(tip(text(f, "LocalPort2", "11140", "FrameRemote"), "UDP port on which commands are received"), 130, 20, 60, 20);
  at(tip(text(f, "RemoteIP2", "127.255.255.255", "FrameRemote"), "Address to send feedback"), 258, 20, 118, 20);
  at(tip(text(f, "RemotePort2", "11111", "FrameRemote"), "Port to send feedback"), 258, 46, 60, 20);
  at(tip(text(f, "FSep", "_", "FrameDisk"), "Separator char (not allowed: /\\;:)"), 186, 68, 24, 20);
  at(tip(text(f, "FileRecNameField", "Quorvel ", "FrameDisk"), "Rec filename prefix"), 54, 68, 96, 20);
  at(tip(text(f, "FileNamePostfix", "", "FrameDisk"), "Rec filename postfix"), 268, 68, 108, 20);
  at(tip(text(f, "TimeTag", "2003", "FramePlayback"), "Text that marks the date and time in a file name"), 232, 46,
     60, 20);
  at(tip(text(f, "SpanFolders", "", "FrameDisk"), "Folders to continue in when a disk is full, separated by ;"), 70,
     192, 306, 20);
  at(tip(text(f, "WebPort", "8765", "FrameWeb"), "TCP port of the web view"), 140, 20, 56, 20);
  at(tip(text(f, "WebBind", "127.0.0.1", "FrameWeb"),
         "Address the web view listens on (0.0.0.0: every network of this machine)"),
     240, 20, 110, 20);
  at(tip(text(f, "WebToken", "", "FrameWeb"),
         "Access token of the web view (at least 16 characters; empty: one is generated and kept in the program "
         "folder)"),
     404, 20, 372, 20);

  // Basic settings: two columns of six combos.
  struct Row {
    const char* name;
    const std::vector<std::string>* items;
    const char* value;
    const char* tooltip;
  };
  const std::vector<std::string> none;
  const Row left[] = {{"Combo1", &lists::kBlockSize, "16384", "Block Size"},
                      {"Combo2", &lists::kSampleRate, "48000", "Sampling Rate"},
                      {"Combo3", &lists::kFFTsize, "512", "FFTsize"},
                      {"Combo4", &lists::kWindowSize, "512", "Window Size"},
                      {"Combo5", &lists::kWindowType, "Hanning", "Window Type"},
                      {"Combo6", &lists::kScanStepBasic, "512", "Scan Step"}};
  for (int i = 0; i < 6; ++i)
    at(tip(combo(f, left[i].name, *left[i].items, left[i].value, "FrameBasic"), left[i].tooltip), 94,
       20 + i * kRow, 96, 22);
  const int col2 = 286;
  at(tip(combo(f, "Combo7", lists::kDisplayHeightBasic, "256", "FrameBasic"), "Display Height"), col2, 20, 98, 22);
  at(tip(combo(f, "Combo8", lists::kColourScaleBasic, "0", "FrameBasic"), "Colour Scale"), col2, 44, 98, 22);
  at(tip(combo(f, "Combo9", none, "", "FrameBasic"), "Select Output Device"), col2, 140, 98, 22);
  at(tip(combo(f, "Combo10", none, "", "FrameBasic"), "Select Audio Device"), col2, 116, 98, 22);
  at(tip(combo(f, "Combo12", lists::kRamBufferBasic, "off", "FrameBasic"), "Activates RAM Recording up to X Mbytes"),
     col2, 92, 98, 22);
  at(tip(combo(f, "cmbSpeedUp", lists::kPlaySpeed, "1", "FramePlayback"), "Play Speed"), 82, 46, 70, 22);
  at(tip(combo(f, "FileMaxSizeCombo", lists::kFileMaxSize, "680 MB (CD size)", "FrameDisk"), "Max file size"), 70,
     116, 130, 22);
  at(tip(combo(f, "FileModeCombo", lists::kFileMode, "2 - single file recording", "FrameDisk"), "File recording mode"),
     70, 142, 170, 22);
  at(tip(combo(f, "NchanCombo", lists::kChannels, "1 - mono (left)", "FrameBasic"), "Stereo / Mono selection"), col2,
     68, 98, 22);
  at(tip(combo(f, "RamBufferModeCombo", lists::kRamBufferMode, "1", "FrameRam"),
         "Set the buffer mode for temporary storage of incoming data"),
     90, 20, 160, 22);

  at(option(f, "OptionCS0", "Stereo", "CS", true, "FrameStereo"), 8, 40, 80, 20);
  at(option(f, "OptionCS1", "Mono (Left)", "CS", false, "FrameStereo"), 92, 40, 110, 20);
  at(option(f, "OptionCS2", "Mono (Right)", "CS", false, "FrameStereo"), 206, 40, 120, 20);
  at(option(f, "OptionCS3", "Mono (Left + Right)", "CS", false, "FrameStereo"), 8, 62, 160, 20);
  at(option(f, "OptionCS4", "Mono (Left - Right)", "CS", false, "FrameStereo"), 172, 62, 160, 20);

  // Hourly split and disk spanning apply to multiple-file recording only.
  at(tip(check(f, "SplitHourly", "Split hourly", 0, "FrameDisk"), "Create a new file every hour"), 8, 168, 110, 20)
      .setEnabled(false);
  at(tip(check(f, "AddRecN", "N", 0, "FrameDisk"), "Add a progressive number"), 8, 92, 40, 20);
  at(tip(check(f, "PresetAutoloadFlag", "Preset Autoload", 0, "FramePlayback"),
         "Load the .preset file saved beside a recording when it is opened"),
     210, 72, 130, 20);
  at(tip(check(f, "CheckAnalysisOnOpen", "Analysis", 0, "FramePlayback"), "Analyse a file when it is opened"), 122,
     72, 84, 20);
  at(tip(check(f, "ImmediatePlayCheck", "Play on Open", 0, "FramePlayback"), "Play a file when it is opened"), 8, 72,
     110, 20);
  at(tip(check(f, "LockFormCheck", "Lock Form", 0), "Keep this panel in place"), 420, 560, 100, 20);
  at(tip(check(f, "AddGPS", "GPS DDE", 0, "FrameDisk"), "Get GPS data by DDE"), 152, 92, 84, 20);
  at(tip(check(f, "SpanDiskCheck", "Span disks", 0, "FrameDisk"), "Switches to next disk when full"), 122, 168, 100,
     20)
      .setEnabled(false);
  at(tip(check(f, "AddUDP", "GPS", 0, "FrameDisk"), "Add GPS position received by UDP"), 240, 92, 56, 20);
  at(tip(check(f, "Check4", "Prog Path", 0, "FrameBasic"), "Preset dialogs open on the program folder"), 272, 166, 112,
     20);
  at(tip(check(f, "AddTimeStamp", "Timestamp", 1, "FrameDisk"), "Add PC date and time to filename"), 52, 92, 96, 20);
  at(tip(check(f, "chkUDPSlave", "Enable on Port", 0, "FrameRemote"), "Enable Remote Commands on UDP Port"), 8, 20,
     120, 20);
  at(tip(check(f, "CheckDDEsend", "DDE send file info", 0, "FramePlayback"),
         "Send the file name and position through the text link"),
     8, 96, 150, 20);
  at(tip(check(f, "chkWebView", "Web view", 0, "FrameWeb"), "Watch and steer this station from a browser"), 8, 20, 90,
     20);
}

void labels(Form& f) {
  const char* left[] = {"Block Size", "Sampling Rate", "FFT size", "Window Size", "Window Type", "Scan Step"};
  for (int i = 0; i < 6; ++i)
    caption(f, "Combo" + std::to_string(i + 1) + "Label", left[i], "FrameBasic", 8, 20 + i * kRow, 84);
  caption(f, "Combo7Label", "Display Height", "FrameBasic", 200, 20, 84);
  caption(f, "Combo8Label", "Colour Scale", "FrameBasic", 200, 44, 84);
  caption(f, "NchanComboLabel", "Channels", "FrameBasic", 200, 68, 84);
  caption(f, "Combo12Label", "RAM Buffer", "FrameBasic", 200, 92, 84);
  caption(f, "Combo10Label", "Input Device", "FrameBasic", 200, 116, 84);
  caption(f, "Combo9Label", "Output Device", "FrameBasic", 200, 140, 84);

  caption(f, "DefPlayPathFieldLabel", "Play Path", "FramePlayback", 8, 20, 64);
  caption(f, "cmbSpeedUpLabel", "Play Speed", "FramePlayback", 8, 46, 72);
  caption(f, "TimeTagLabel", "Time Tag", "FramePlayback", 170, 46, 60);

  caption(f, "FileRecPathFieldLabel", "Rec Path", "FrameDisk", 8, 20, 60);
  caption(f, "FileRecNameFieldLabel", "Prefix", "FrameDisk", 8, 68, 44);
  caption(f, "FSepLabel", "Sep", "FrameDisk", 156, 68, 28);
  caption(f, "FileNamePostfixLabel", "Postfix", "FrameDisk", 216, 68, 50);
  caption(f, "FileMaxSizeComboLabel", "Max Size", "FrameDisk", 8, 116, 60);
  caption(f, "FileModeComboLabel", "Rec Mode", "FrameDisk", 8, 142, 60);
  caption(f, "MaxNFilesLabel", "Max files", "FrameDisk", 246, 142, 60);
  caption(f, "SpanFoldersLabel", "Span to", "FrameDisk", 8, 192, 60);

  caption(f, "RamBufferModeComboLabel", "Buffer Mode", "FrameRam", 8, 20, 80);
  caption(f, "RemoteIP2Label", "Feedback", "FrameRemote", 196, 20, 60);
  caption(f, "RemotePort2Label", "Port", "FrameRemote", 196, 46, 60);
  caption(f, "DisplayAsLabel", "Display as...", "FrameStereo", 8, 18, 100);
  caption(f, "WebPortLabel", "Port", "FrameWeb", 104, 22, 34);
  caption(f, "WebBindLabel", "Bind", "FrameWeb", 204, 22, 34);
  caption(f, "WebTokenLabel", "Token", "FrameWeb", 358, 22, 44);
}

void infoAndButtons(Form& f) {
  at(tip(label(f, "FreeSpaceLabel", "", "FrameDisk"), "Free space on the recording drive"), 70, 48, 306, 18);
  at(tip(label(f, "RecDurationLabel", " --:--:--", "FrameDisk"), "Rec duration in hh:mm:ss"), 204, 118, 74, 18);
  at(tip(button(f, "SetPath", "Set Path", "FrameDisk"), "Choose the recording folder"), 304, 18, 72, 24);
  at(tip(button(f, "SetExactTime", "Set Exact Time", "FrameDisk"), "Max size from a duration in minutes"), 280, 114, 96,
     24);

  at(tip(picture(f, "Picture2", "FrameBasic"), "Colour scale"), 8, 170, 256, 12);
  at(tip(picture(f, "Picture1", "FrameBasic"), "Analysis parameters"), 8, 188, 376, 100);
  at(tip(button(f, "PresetLoad", "Load", "FrameBasic"), "Load Basic Settings from a .preset file"), 8, 296, 56, 24);
  at(tip(button(f, "PresetSave", "Save", "FrameBasic"), "Save Basic Settings to a .preset file"), 68, 296, 56, 24);
  at(tip(button(f, "DefaultPresetSave", "Save Default", "FrameBasic"), "Save these settings as the default preset"),
     128, 296, 92, 24);
  at(tip(button(f, "PresetLink", "Link to .wav", "FrameBasic"), "Link the current settings to a .wav file"), 224, 296,
     92, 24);
  at(tip(button(f, "Command5", "Reset", "FrameBasic"), "Reset To Default Settings"), 320, 296, 64, 24);

  at(tip(label(f, "WebStatus", "Off", "FrameWeb"), "Where the web view listens and its token"), 8, 46, 768, 18);

  at(tip(button(f, "ok", "Apply"), "Confirm settings"), 8, 556, 80, 28);
  at(tip(button(f, "Command10", "Reset"), "Restore the settings of the panel's opening"), 96, 556, 80, 28);
  at(tip(button(f, "Command13", "Exit"), "Drop the changes and close"), 184, 556, 80, 28);
  at(tip(button(f, "SaveDefPaths", "Save Default Paths"), "Save the default folders"), 272, 556, 140, 28);
}

}  // namespace

void buildOptions0(Form& f) {
  f.setSize(800, 594);
  frames(f);
  savedControls(f);
  labels(f);
  infoAndButtons(f);
}

}  // namespace qv
