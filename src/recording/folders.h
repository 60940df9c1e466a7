// Folders the program writes into are made one level at a time: a missing
// parent usually means a disk that is not mounted, and a folder made in its
// place would put the recordings on the root filesystem until it fills.
#pragma once

#include <string>

namespace qv {

struct FolderCheck {
  bool ok = false;      // the folder exists (it was there or has just been made)
  std::string message;  // why not, in words for the operator
};

// Makes `folder` when it is missing and its parent exists.
FolderCheck makeFolderOneLevel(const std::string& folder);

}  // namespace qv
