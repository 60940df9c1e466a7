// Builds the program from its parts and runs it, with or without windows.
#pragma once

#include <string>
#include <vector>

namespace qv {

// Returns the process exit code.
int runQuorvel(int argc, char** argv);

}  // namespace qv
