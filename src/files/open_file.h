// The pure part of making a file the current file: the checks, the repair of
// an unfinished WAV header, and the status text.
#pragma once

#include <cstdint>
#include <string>

#include "files/file_info.h"

namespace qv {

struct OpenCheck {
  bool ok = false;
  bool headerRepaired = false;
  std::string message;  // for a message box when !ok
};

// Measures the file; a WAV whose RIFF size was never completed (below 256)
// gets its header repaired. On failure `info` keeps everything but FileType
// and HeaderSize (both 0) and nothing is written.
OpenCheck checkFileForOpen(const std::string& path, const RawFileSettings& raw, FileInfo& info);

// The status label after opening: [PlayList ]name kB kb rate s/sec ch ch 16 bit,
// numbers each with one leading blank; a path of 97 characters or more is
// shown as "../" and its file name.
std::string openFileLabel(const std::string& path, int playListSize, int64_t fileSize, int sampleRate,
                          int channels);

}  // namespace qv

namespace qv {

class Program;
struct StartupHooks;

// Returns once the clock has advanced by `seconds`, serving events all the while.
void WaitSeconds(Program& p, double seconds);

// Applies a mode: the hook when the modes provide one, else Task and a click
// on the mode's menu item.
void applyTask(Program& p, int task, const StartupHooks& hooks);

// Save dialog on `folder`: a drive that cannot be written is offered again,
// an existing file is replaced only on Yes (No offers the dialog again).
// "" on cancel or for an empty name or one holding "*".
std::string SaveFileDialog(Program& p, const std::string& folder, const std::string& extension,
                           const std::string& name, const StartupHooks& hooks);
// The folder of the name chosen in a "Set Path" dialog, or `folder` on cancel.
std::string SetPathDialog(Program& p, const std::string& folder, const StartupHooks& hooks);

// Makes `path` the current file: stops a running loop, repairs an unfinished
// WAV header, loads a linked preset, shows the file in the status label and,
// unless "File Analysis" is the mode, switches to "File Analysis + Play" and
// plays ("Play on Open") and/or analyses ("Analysis") it. A file that cannot
// be used gets a message and changes nothing.
void OpenFile(Program& p, const std::string& path, const StartupHooks& hooks);
// "Close all".
void CloseFile_Click(Program& p, const StartupHooks& hooks);

}  // namespace qv
