// The file chooser of the file menu and tools.
#pragma once

#include <string>

namespace qv {

class Program;

// Offers the Open dialog on `folder` with the filter "*." + extension and asks
// again until the chosen name has that extension ("m??" takes any name).
// Returns the chosen file, or "" when cancelled, when the file cannot be read,
// or while a mode's loop is running. The chosen folder becomes the default
// play folder (DefPlayPathField).
std::string OpenFileDialog(Program& p, const std::string& folder, const std::string& extension);

// Everything up to and including the last "/"; the path without its
// extension when its fourth character from the end is ".".
std::string folderOf(const std::string& path);
std::string withoutExtension(const std::string& path);

}  // namespace qv
