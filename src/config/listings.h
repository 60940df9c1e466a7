// What configuring a station without a screen needs: the device lists as the
// program shows them, and every setting key with its caption, default and
// choices, taken from the windows' designer inventory.
#pragma once

#include <string>
#include <vector>

namespace qv {

class Program;

struct SettingInfo {
  std::string key;           // "FORM1.Combo3"
  std::string kind;          // "combo box", "check box", ...
  std::string caption;       // the label the operator reads beside it
  std::string tip;           // its tooltip, when it says more than the caption
  std::string defaultValue;  // as a controls file writes it; the home folder as "~/"
  std::string values;        // what --set takes, in words ("0 or 1", "-20 to 20", "text")
  std::vector<std::string> items;  // the list a combo box offers
  bool inControlsFiles = false;    // also read from controls files (Quorvel.ini)
};

// Every control --set accepts, window by window in control order, with the
// value it has after a start-up that finds no settings files.
std::vector<SettingInfo> settingsInventory();
// The inventory as text for a terminal, or as a Markdown document.
std::string settingsListing(bool markdown);

// The input and output device lists, refilled from the program's audio
// devices: position, name as listed, channels.
std::string deviceListing(Program& p);

}  // namespace qv
