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
