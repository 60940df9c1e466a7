// Recordings cut off by a power cut or kill -9 keep a provisional header
// that standard tools misread. Start-up repairs them in the recording
// folder (and the span folders a run may have moved on to).
#pragma once

#include <string>
#include <vector>

namespace qv {

class Program;

// Repairs every WAV file directly in the folders whose header is still
// provisional, skipping files a recording holds, and logs "Repaired " +
// the file for each. Returns the files repaired.
std::vector<std::string> repairInterruptedRecordings(Program& p);

}  // namespace qv
