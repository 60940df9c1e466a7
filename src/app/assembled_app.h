// The program as the quorvel executable runs it: the real services, the
// dialogs and screen grab of its variant (windows or none), every subsystem
// assembled, the windows when there are any, and the hooks only the
// executable can fill (ending the process, --set, showing the window). The
// executable and the assembly test both build it here, so what the test
// finds is what runs.
#pragma once

#include <memory>
#include <string>

#include "config/command_line.h"

namespace qv {

class Dialogs;
class FftwDsp;
class Program;
class RealServices;
class ScreenGrab;
class Views;
struct Services;
struct StartupHooks;
struct Subsystems;

class AssembledApp {
 public:
  // A QApplication (windows) or QGuiApplication (headless) must exist.
  AssembledApp(const CommandLine& cl, const std::string& programFolder);
  ~AssembledApp();
  AssembledApp(const AssembledApp&) = delete;
  AssembledApp& operator=(const AssembledApp&) = delete;

  Program& program() { return *program_; }
  Subsystems& subsystems() { return *subsystems_; }
  StartupHooks& hooks();
  const Services& services() const;
  // Null without windows.
  Views* views() { return views_.get(); }

  // Stops as the Stop button does and leaves the event loop (or, before it
  // runs, as soon as start-up returns): signals, --quit-after, Exit.
  void stopAndQuit();
  bool quitRequested() const { return quitRequested_; }

 private:
  CommandLine cl_;
  std::unique_ptr<RealServices> real_;
  std::unique_ptr<FftwDsp> dsp_;
  std::unique_ptr<Dialogs> dialogs_;
  std::unique_ptr<ScreenGrab> screen_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<Subsystems> subsystems_;
  std::unique_ptr<Views> views_;
  bool quitRequested_ = false;
};

}  // namespace qv
