// quorvel --fix-header FILE...: the "Fix wav header" repair for recordings
// cut off by a power cut or kill -9, without starting the program. Files a
// running recording holds are left alone.
#pragma once

namespace qv {

inline constexpr const char* kFixHeaderOption = "--fix-header";

// Returns the exit code: 0 when every file was repaired, 1 when one could
// not be, 2 without files.
int runFixHeader(int argc, char** argv);

}  // namespace qv
