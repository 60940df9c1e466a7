// "File Analysis": the current file one screen (frame) at a time. The loop
// draws the frame starting at FilePos and then polls; navigation only moves
// FilePos, and the loop redraws whenever it differs from the frame drawn last.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "files/markers.h"

namespace qv {

class Program;
class Surface;

struct FileLoopHooks {
  // Offers the open dialog when no file is current (OpenFilewav_Click).
  std::function<void()> openFileDialog;
  // The text link of "DDE send file info": path + ", " + FileTime.
  std::function<void(const std::string&)> sendFileInfo;
};

// Runs until StopFlag is set; returns at once for EARS files, without a
// current file, or when the frame at FilePos is already drawn.
void RunFileAnalysisLoop(Program& p, const FileLoopHooks& hooks = {});

// Channel reduction of a two-channel block: 0 as read (mono files), 1 left,
// 2 right, 3 round(L / 2 + R / 2), 4 L - R wrapping at 16 bits. `frames`
// frames of `channels` interleaved samples in, one sample per frame out.
void reduceChannels(int mode, const int16_t* in, size_t frames, int channels, int16_t* out);

// The first column of a frame: round(1 - FFTsize / ScanStep), so that column 0
// is the window that starts at FilePos.
int firstColumnX(int fftSize, int scanStep);

// Where the loop puts a requested position: never before the first sample,
// and a position too near the end moves to FileSize - FileStep + 8192. A file
// shorter than one frame is shown from its start.
int64_t clampFramePosition(int64_t pos, int64_t headerSize, int64_t fileSize, int64_t fileStep);

// The start time "hh:mm:ss" of a file whose name (after the last "/") holds
// `timeTag` at position p, from the six characters hhmmss at p + 9 (fewer when
// the name ends first); nullopt without the tag.
std::optional<std::string> fileStartTime(const std::string& path, const std::string& timeTag);

// "Daytime: File hh:mm:ss  Frame hh:mm:ss.mmm" when the file name (after the
// last "/") holds `timeTag`, whose position p is followed at p + 9 by the
// start time hhmmss; "No timestamp" otherwise.
std::string daytimeStatus(const std::string& path, const std::string& timeTag, double specGramTimer);

// The test markers of "TEST.mrk" in the program folder, each listed on
// `picture` (may be null) as it is read, their count in the head line.
// Nothing when the file does not exist.
MarkerLoad loadTestMarkers(Program& p, Surface* picture);

}  // namespace qv
