// Controls files (the user defaults, the undo snapshot and operator-named
// files), the default paths file and the sampling-rate list.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv {

class Program;
class Forms;
class Control;

// Fixed names in the program folder.
inline constexpr const char* kUserDefaultsFile = "Quorvel.ini";
inline constexpr const char* kUndoSnapshotFile = "annulla.ini";
inline constexpr const char* kDefPathsFile = "defpaths.ini";
inline constexpr const char* kRatesFile = "rates.ini";

// One controls-file line without its CR LF: the key, blanks up to the next
// 14-column print zone (at least one), "= " and the value.
std::string controlsFileLine(const std::string& key, const std::string& value);
// The value as a controls file stores it: texts exactly, numbers with a
// leading blank for the sign and one trailing blank, option buttons True/False.
std::string controlsFileValue(const Control& c);

// Writes FORM1, OPTIONS0 and OPTIONS1 in control order. False when the file
// cannot be written (nothing else happens).
bool SaveControls(Program& program, const std::string& path);
// Applies every line; an unreadable file shows "User Defaults not available"
// and changes nothing. False in that case.
bool LoadControls(Program& program, const std::string& path);
// Applies the lines of a controls file's content (a byte-order mark first is skipped).
void applyControlsText(Program& program, std::string content);

// Fields separated by commas or line ends; a field in double quotes may hold
// commas. Leading and trailing blanks of an unquoted field are dropped.
std::vector<std::string> readDelimitedFields(const std::string& content);

// The four default folders in file order.
struct DefaultPaths {
  std::string play, recording, save, log;
};
std::optional<DefaultPaths> readDefPaths(const std::string& path);
bool writeDefPaths(const std::string& path, const DefaultPaths& p);
DefaultPaths currentDefPaths(Program& program);
// Reads program folder + defpaths.ini into the four text boxes; false (and
// nothing changed) when the file is missing or holds fewer than four fields.
bool LoadDefPaths(Program& program);
bool SaveDefPaths(Program& program);

// The sampling rates of rates.ini; empty when the file is missing or has
// no usable rate.
std::vector<std::string> readRates(const std::string& path);
// Replaces the items of both Sampling Rate lists; false when there is nothing to load.
bool LoadRates(Program& program);

}  // namespace qv
