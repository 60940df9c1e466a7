// Start-up, the classic command line and shutdown.
//
// What other subsystems provide (UpdateForm, the window layout, device
// lists, modes, file opening) is reached through StartupHooks; an empty hook
// does nothing, so the app fills them in as those subsystems arrive.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace qv {

class Program;
struct CommandLine;

// The splash window's state; the view shows it and calls close() on a key
// press or a click.
struct SplashWindow {
  std::string text;          // about text
  std::string textProgress;  // one "." per 0.01 s
  bool closed = false;
  void close() { closed = true; }
};

struct StartupHooks {
  std::function<void()> updateForm;       // apply display settings
  std::function<void()> setForm;          // lay out the main window
  std::function<void()> saveSpecGram;     // keep the spectrogram image across a dialog or panel
  std::function<void()> restoreSpecGram;
  std::function<void()> drawColourBar;    // settings panel's colour bar
  std::function<void()> updateInfo;       // settings panel's information box
  std::function<void()> enumerateDevices; // fill the device lists
  std::function<void()> selectDevices;    // take the devices named in the combos
  // Select and apply a mode. Empty: sets Task and clicks the mode menu item.
  std::function<void(int)> selectTask;
  std::function<void(const std::string&)> openFile;
  // Select "Real-Time Analysis + Recording" and press Start; returns when the
  // recording has stopped. Empty: clicks RealTimeRecording, then StartStop.
  std::function<void()> startRecording;
  // Show the main window in its normal state. Empty: marks FORM1 shown.
  std::function<void()> showMainWindow;
  std::function<void(SplashWindow&)> showSplash;
  std::function<void(SplashWindow&)> closeSplash;
  // Runs after the start-up files and task 1, just before the classic
  // switches act (the app applies --set here, so /REC records with them).
  std::function<void()> beforeCommandLine;
  // Ends the process after the windows are closed.
  std::function<void()> endProgram;
};

struct StartupOptions {
  bool splash = true;  // skipped anyway when headless, without a clock or with nothing to show it
};

// What start-up could not do with the command line, for the user's terminal.
struct StartupReport {
  std::string fileProblem;  // the named file and why it was not opened; "" when none
};

// The ordered start-up sequence, ending with the classic command line.
StartupReport startUp(Program& program, const CommandLine& cl, const StartupHooks& hooks = {},
                      StartupOptions options = {});

// Start-up's fixed values without any file: the built-in preset and the
// designer state of step 7, as every start has them before the user's files.
void applyStartupDefaults(Program& program);

// The about text of the splash window.
std::string aboutText();
// Waits 2 s on the seconds-since-midnight clock, adding a dot per 0.01 s and
// processing events, until the time is up or the window is closed.
void runSplashWait(Program& program, SplashWindow& splash);

// The classic switches: /REC, /AUTO, /PPT and a file to open. A file that
// does not exist or cannot be read is not opened; the report says why.
StartupReport runClassicCommandLine(Program& program, const std::string& args, const StartupHooks& hooks);
// Why a file named on the command line cannot be opened; "" when it can.
std::string commandLineFileProblem(const std::string& path);

inline constexpr const char* kExitQuestion = "Are you sure you want to terminate the program ?";
// The main window's unload handling (menu "Exit", closing the main window):
// asks, and on Yes unticks Pause, stops a running loop, closes the windows
// and ends the program. False when the operator answered No (the close is
// cancelled and nothing changes).
bool requestShutdown(Program& program, const StartupHooks& hooks);

// Attaches the settings, preset and shutdown handlers to the controls that
// exist. The returned hooks are the ones those handlers use; the app fills
// them in and passes the same object to startUp.
std::shared_ptr<StartupHooks> installConfig(Program& program);

// Applies --set KEY=VALUE after start-up. An unknown key or a control that is
// not a setting gives a message and changes nothing; false then.
bool applyCommandLineSetting(Program& program, const std::string& key, const std::string& value,
                             std::string& message);

}  // namespace qv
