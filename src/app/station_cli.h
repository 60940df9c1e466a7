// The terminal of a station without a screen: the listings that need no
// window, the start line, each event and run summary on stdout, errors on
// stderr, and the exit status that tells a service manager how the runs went.
#pragma once

#include "platform/qt/headless_dialogs.h"

namespace qv {

class Program;
struct CommandLine;

// Dialogs without a window that also tell the station what they showed, so
// a run that did not start can say why in its summary.
class StationDialogs : public HeadlessDialogs {
 public:
  void watch(Program& p) { program_ = &p; }
  MsgAnswer message(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                    MsgAnswer defaultAnswer) override;

 private:
  Program* program_ = nullptr;
};

// Keeps the window library's notices off stderr through its own message
// handler (criticals still show); QUORVEL_QT_DEBUG=1 lets everything through.
void quietWindowLibrary();

// Nothing to open windows on: no X or Wayland display and no Qt platform asked for.
bool noDisplay();

// --list-devices or --list-settings to stdout; the exit code.
int runListing(const CommandLine& cl);

// The station's events and run summaries go to stdout, the errors of its
// runs to stderr; the dialogs report to the station.
void attachStationOutput(Program& p, StationDialogs& dialogs);
// One line: program folder, input, rate, channels, mode and recording folder,
// for the mode the command line is about to select, and `webView` (where
// the web view is, with its token) when not empty.
void printStationStart(Program& p, const CommandLine& cl, const std::string& webView);
// The command line started a run (--start, /REC) and once it has ended
// nothing else could start one: no command socket and no web view is open.
bool endsWithItsRun(Program& p, const CommandLine& cl);
// 1 when a run could not start or ended on an error, else 0.
int stationExitCode(Program& p);

}  // namespace qv
