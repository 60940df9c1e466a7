// The program's command-line options. The classic switches (/REC, /AUTO,
// /PPT and a file to open) are kept as one argument string for start-up.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv {

struct CommandLine {
  std::string home;                                     // --home DIR
  std::vector<std::pair<std::string, std::string>> sets;  // --set KEY=VALUE, in order
  std::vector<std::string> clicks;                        // --click FORM.Control, in order
  std::optional<int> task;                              // --task N
  bool start = false;                                   // --start
  std::optional<double> quitAfterSeconds;               // --quit-after S
  bool headless = false;
  bool version = false;
  bool help = false;
  bool listDevices = false;       // --list-devices
  bool listSettings = false;      // --list-settings[=markdown]
  bool settingsMarkdown = false;
  std::string classicArgs;  // everything else joined with blanks (switches and a file)
};

struct ParseResult {
  CommandLine cl;
  std::string error;  // non-empty: print it and exit with code 2
};

ParseResult parseCommandLine(const std::vector<std::string>& args);
std::string commandLineHelp();

}  // namespace qv
