// Puts the program together: every subsystem's handlers attached to the
// controls, and the start-up hooks filled with what the subsystems provide.
#pragma once

#include <memory>

namespace qv {

class Program;
class AnalysisEngine;
struct StartupHooks;
class FileSubsystem;
class TcpReceiver;
class GpsLogger;
class WebView;
class WindowLayout;
class CursorReadout;

struct Subsystems {
  std::unique_ptr<AnalysisEngine> analysis;
  std::unique_ptr<WindowLayout> layout;
  std::unique_ptr<CursorReadout> cursor;
  std::shared_ptr<StartupHooks> hooks;
  std::shared_ptr<FileSubsystem> files;
  std::shared_ptr<TcpReceiver> tcpReceiver;
  std::shared_ptr<GpsLogger> gpsLogger;
  std::shared_ptr<WebView> web;
  ~Subsystems();
};

// Builds the windows' controls and attaches all handlers. The Program must
// outlive the result.
std::unique_ptr<Subsystems> assembleProgram(Program& p);

}  // namespace qv
