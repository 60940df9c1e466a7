// "Check wav header" and "Fix wav header": a WAV header shown field by field,
// and the repair of a header whose recording was cut short.
#pragma once

#include <string>

namespace qv {

class Dialogs;
class Program;

// The thirteen report lines joined by CR LF, read at the fixed offsets of the
// 44-byte header. A file that cannot be read or is shorter than 44 bytes gets
// a report saying so.
std::string wavHeaderReport(const std::string& path);

// Shows the report in a message box; nothing for an empty path.
void ShowWavHeader(Dialogs& dialogs, const std::string& path);

struct HeaderFix {
  bool written = false;
  bool sizesOnly = false;  // a foreign layout: only the size fields were patched
  std::string message;     // why nothing was written
};

// Rewrites the header from the file's real length, keeping channel count and
// sampling rate. A file in this program's layout gets the whole 44-byte
// header (an intact "guan" metadata chunk at its end stays out of the data
// size); a WAV whose chunks stand elsewhere, or that holds float samples,
// only gets its RIFF and data sizes mended, so its format survives. A file
// shorter than 44 bytes or without the "RIFF" tag is never written.
HeaderFix FixWavHeader(const std::string& path);

// A recording cut off before its close (power cut, kill -9) keeps the
// provisional sizes of an empty file, 0 and -44, which standard tools misread.
bool hasProvisionalHeader(const std::string& path);

// The start-up and command-line repair of an interrupted recording. A file
// that a recording still holds (its exclusive advisory lock) is left alone.
struct InterruptedRepair {
  enum Outcome { Repaired, NotNeeded, BeingWritten, Failed } outcome = NotNeeded;
  std::string message;  // why, for BeingWritten and Failed
};
// Repairs `path` (as FixWavHeader does) when its header is provisional.
// `always`: any WAV header is rewritten from the length, provisional or not.
InterruptedRepair repairInterruptedWav(const std::string& path, bool always = false);

// Menu handlers.
void CheckWavHeader_Click(Program& p);
void mnuFixWavHeader_Click(Program& p);

}  // namespace qv
