// What a recording leaves on disk and the rules that decide it: file names,
// size and duration limits, disk checks with spanning over folders, the
// recording log "RecLog.Log" and the recording status text, plus the
// "Disk Recording" handlers of the settings panel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recording/folders.h"
#include "recording/rec_text.h"
#include "recording/wav_file.h"

namespace qv {

class Program;
class DiskInfo;

// Next recording file name from the name settings. `path` is the folder
// (ending in "/"). Clears the GPS text when neither GPS option is on.
void CreateFileName(Program& p, std::string& recFile, std::string& namePart, int32_t fileIndexNum,
                    const std::string& path);

// One log line: date, time, FileTime while recording (Task 2), message, in
// 14-character print zones, ended by CR LF.
std::string recLogLine(const DateTime& t, int task, const std::string& fileTime, const std::string& message);
// What a log line means for the run: most record what happened; an error
// line says why the recording ended early.
enum class RecLogKind { Event, RunError };
// Opens the log, appends one line, closes it, and tells the station. False
// when it cannot be written.
bool AppendRecLog(Program& p, const std::string& logFile, const std::string& message,
                  RecLogKind kind = RecLogKind::Event);
// Same, to the program's RecLogFile.
bool AppendRecLog(Program& p, const std::string& message, RecLogKind kind = RecLogKind::Event);

// The messages of the recording log.
namespace reclog {
std::string runStart(int channels, int sampleRate, const std::string& device, int blockWords);
std::string creating(const std::string& file, const std::string& modeText);  // first file of a run
std::string rewriting(const std::string& file);
// word: "Closed  " / "Closing  " / "Disk Full - Closing " / "Disk Full - Closing  "
std::string closing(const std::string& word, const std::string& file, int fails, int overloads);
std::string created(const std::string& word, const std::string& file);  // "Created " / "Creating "
std::string switchTo(const std::string& folder);
std::string stopNonWritable(const std::string& folder);
std::string stopDiskFull(const std::string& folder);
inline const char* kPausing = "Pausing...";
inline const char* kResuming = "Resuming...";
inline const char* kFail = "Fail";
std::string endOfRecording(const std::string& file, int64_t fileBytes, int fails, int overloads);
}  // namespace reclog

// Appends the recording description to the run information label Label4.
void ShowRecStatus(Program& p, const std::string& recFile);
// The text ShowRecStatus appends: "  Rec " + file + the size or split rule.
std::string recStatusText(Program& p, const std::string& recFile);

// Free and total kB of the filesystem holding `path`; false (both 0) when
// the path is unusable.
bool GetDiskFreeKB(DiskInfo& disk, const std::string& path, int64_t& totalKB, int64_t& freeKB);
// 1 when a file can be created, written and deleted in the folder of `path`.
int IsDriveWritable(DiskInfo& disk, const std::string& path);
bool FileExists(const std::string& path);

// Folders a recording continues in when a disk is full: the OPTIONS0
// SpanFolders text, ";"-separated, each with a trailing "/".
std::vector<std::string> spanFolders(Program& p);
// The folder after `current` in the list ("" when there is none). A folder
// not in the list continues with the first one.
std::string nextSpanFolder(Program& p, const std::string& current);

// Tries the folder of `path` and then the span folders, `tries` candidates
// in all; a candidate qualifies when writable with more free kB than
// `neededKB`. On success `path` becomes that folder and `neededKB` its free
// kB; otherwise `neededKB` becomes 0 and false is returned.
bool FindDriveWithSpace(Program& p, std::string& path, int64_t& neededKB, int tries);

// Disk-full spanning while recording in file mode 3: logs the switch and its
// outcome, returns the folder now in force and whether recording goes on.
struct SpanResult {
  bool carryOn = false;
  std::string folder;
};
SpanResult spanToNextFolder(Program& p, const std::string& folder, int64_t maxFileKB);

// Below this many free kB the recording drive counts as full.
constexpr int64_t kDiskNearlyFullKB = 100000;

// Size and mode settings read when a recording starts.
struct RecordingLimits {
  double maxSizeMB = 0;
  int64_t maxFileBytes = 0;
  int64_t maxFileKB = 0;
  int fileMode = 2;
};
// Largest maximum size: a file may pass it by one block (at most 256 kB)
// and must still fit the 4 GB of a WAV header.
constexpr double kMaxFileSizeMB = 4095;
// False, with the message to show, for a size of 0 or less or above 4095 MB.
bool readRecordingLimits(Program& p, RecordingLimits& out, std::string* error);
std::string maxSizeError(double mb);

// Settings-panel tools.
double recDuration(Program& p);  // seconds, one decimal
void UpdateInfo(Program& p);
void FileRecPathField_Change(Program& p);
std::string freeSpaceText(int64_t freeKB, const std::string& folder);
void SetExactTime_Click(Program& p);
void SetPath_Click(Program& p);

// One attempt at making the recording folder, one level only (at start-up
// and again at Start); not ok, with the reason, when its parent is missing.
FolderCheck createRecordingFolder(Program& p);

// Attaches the handlers and fixes RecLogFile.
void installRecordingFiles(Program& p);

}  // namespace qv
