// Where the fixed-name files live.
#pragma once

#include <string>

namespace qv {

// --home wins, then $QUORVEL_HOME, then the executable's folder when it is
// writable, else ~/.local/share/Quorvel/. Always ends with "/".
std::string chooseProgramFolder(const std::string& homeOption, const std::string& envHome,
                                const std::string& executableFolder, const std::string& userHome);

// The user's home + "Quorvel/": what "c:\" designer defaults become.
std::string defaultDataFolder();

}  // namespace qv
