// "quorvel render": recordings to PNG spectrograms without a window.
#pragma once

namespace qv {

// argv[1] is "render". Returns the process exit code: 0 when every file was
// rendered, 1 when any failed, 2 for a usage error.
int runRender(int argc, char** argv);

}  // namespace qv
