// The play list: several files played one after another by "File Analysis +
// Play", built from a multiple selection or from files dropped on the
// spectrogram.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qv {

class Program;

// Makes a path the current file as the open commands do. The file-opening
// code installs the real OpenFile here; until then the file is measured and
// made current without its follow-up actions.
void setPlayListOpener(Program& p, std::function<void(const std::string&)> openFile);

// The dialog's choice, returned in the order chosen: entries 2..n move one
// place down and the first chosen becomes the last (a, b, c plays b, c, a).
std::vector<std::string> rotatePlayList(const std::vector<std::string>& chosen);

// "Play List": multiple selection in the open dialog.
void SetPlayList_Click(Program& p);
// Files dropped on the spectrogram (only while stopped): one file is opened,
// several become the play list in the order given.
void SpecGram_OLEDragDrop(Program& p, const std::vector<std::string>& paths);
// "Show PlayList": prints the entries on the spectrogram.
void ShowPlayList_Click(Program& p);
// The printed lines: entry number and name.
std::vector<std::string> playListLines(const Program& p);

void installPlayList(Program& p);

}  // namespace qv
